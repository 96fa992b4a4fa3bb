// Extraction benchmark: ExtractFile of the 100 MiB resource BIG.BIN that this
// program carries, against CopyFileA of the same bytes, into one directory.
//
//   extract_bench compare REPS         both, alternating, REPS times each
//   extract_bench once                 one extraction, then exit
//   extract_bench idle                 exit at once (what loading costs)
//   extract_bench launch REPS PROGRAM ARG
//                                      start "PROGRAM ARG" REPS times and time
//                                      each run from CreateProcess to its exit
//   extract_bench held REPS            the extracted file compared with the
//                                      resource through its hold, alternating:
//                                      CompareHeldFile (views of a mapping)
//                                      against ReadFile into a 1 MiB buffer
//
// Files go to a directory below the temporary directory, removed at the end.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/extract_file.h"
#include "files/held_content.h"
#include "files/temp_program.h"

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Summary {
  double best;
  double median;
};

Summary Summarize(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const size_t n = times.size();
  const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
  return {times.front(), median};
}

std::string WorkDirectory() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string dir = std::string(temp) + "extract_bench_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir + "\\";
}

bool Fail(const char* what) {
  fprintf(stderr, "extract_bench: %s failed, GetLastError()=%lu\n", what, GetLastError());
  return false;
}

// Writes the resource's bytes to a plain file, as the source of CopyFileA.
bool WriteSource(const std::string& path, DWORD* size) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(self, "BIG", "BIN");
  if (!found) return Fail("FindResourceA");
  *size = SizeofResource(self, found);
  const void* data = LockResource(LoadResource(self, found));
  if (!data) return Fail("LoadResource");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail("CreateFileA");
  DWORD written = 0;
  const BOOL ok = WriteFile(file, data, *size, &written, nullptr);
  CloseHandle(file);
  return ok && written == *size ? true : Fail("WriteFile");
}

int Compare(int reps) {
  const std::string dir = WorkDirectory();
  const std::string source = dir + "source.bin", extracted = dir + "extracted.bin",
                    copied = dir + "copied.bin";
  DWORD size = 0;
  if (!WriteSource(source, &size)) return 1;
  std::vector<double> extractTimes, copyTimes;
  bool ok = true;
  for (int i = 0; i < reps && ok; ++i) {
    // Alternate which goes first so that neither always finds a warmer cache.
    for (int turn = 0; turn < 2 && ok; ++turn) {
      const bool extractTurn = (i + turn) % 2 == 0;
      const std::string& target = extractTurn ? extracted : copied;
      DeleteFileA(target.c_str());
      const double start = Now();
      if (extractTurn) {
        ok = ExtractFile(GetModuleHandleA(nullptr), "BIG", "BIN", target.c_str()) == 0;
      } else {
        ok = CopyFileA(source.c_str(), target.c_str(), FALSE) != FALSE;
      }
      (extractTurn ? extractTimes : copyTimes).push_back(Now() - start);
    }
  }
  DeleteFileA(source.c_str());
  DeleteFileA(extracted.c_str());
  DeleteFileA(copied.c_str());
  RemoveDirectoryA(dir.c_str());
  if (!ok) return Fail("a repetition");

  const Summary extract = Summarize(extractTimes), copy = Summarize(copyTimes);
  const double mib = size / (1024.0 * 1024.0);
  printf("bytes: %lu (%.1f MiB), repetitions: %d each\n", size, mib, reps);
  printf("ExtractFile: best %.1f ms, median %.1f ms (%.0f MiB/s at best)\n", extract.best,
         extract.median, mib * 1000 / extract.best);
  printf("CopyFileA:   best %.1f ms, median %.1f ms (%.0f MiB/s at best)\n", copy.best, copy.median,
         mib * 1000 / copy.best);
  printf("speed of ExtractFile relative to CopyFileA: best %.2f, median %.2f (goal: 0.90 or more)\n",
         copy.best / extract.best, copy.median / extract.median);
  return 0;
}

// The other way to read the held file: ReadFile into a fixed buffer, each
// piece compared with the resource.
bool SameByReadFile(HANDLE held, const unsigned char* expected, DWORD size) {
  static unsigned char buffer[1 << 20];
  if (SetFilePointer(held, 0, nullptr, FILE_BEGIN) != 0) return false;
  for (DWORD offset = 0; offset < size;) {
    const DWORD want = size - offset < sizeof buffer ? size - offset : sizeof buffer;
    DWORD got = 0;
    if (!ReadFile(held, buffer, want, &got, nullptr) || got != want) return false;
    if (memcmp(buffer, expected + offset, got) != 0) return false;
    offset += got;
  }
  DWORD extra = 0;  // nothing after the expected bytes
  return ReadFile(held, buffer, 1, &extra, nullptr) && extra == 0;
}

int Held(int reps) {
  const std::string dir = WorkDirectory();
  const std::string target = dir + "held.exe";
  ResourceBytes resource = {};
  if (ExtractFile(GetModuleHandleA(nullptr), "BIG", "BIN", target.c_str(), &resource) != 0)
    return Fail("ExtractFile");
  std::vector<double> mapTimes, readTimes;
  bool ok = true;
  for (int i = 0; i < reps && ok; ++i) {
    for (int turn = 0; turn < 2 && ok; ++turn) {
      const bool mapTurn = (i + turn) % 2 == 0;
      UniqueHandle held(HoldProgramFile(target.c_str()));
      const double start = Now();
      ok = held && (mapTurn ? CompareHeldFile(held.get(), resource.data, resource.size).same
                            : SameByReadFile(held.get(),
                                             static_cast<const unsigned char*>(resource.data),
                                             resource.size));
      (mapTurn ? mapTimes : readTimes).push_back(Now() - start);
    }
  }
  DeleteFileA(target.c_str());
  RemoveDirectoryA(dir.c_str());
  if (!ok) return Fail("a comparison");
  const Summary map = Summarize(mapTimes), read = Summarize(readTimes);
  printf("held file of %lu bytes against its resource, %d repetitions each:\n", resource.size, reps);
  printf("  CompareHeldFile (views of a mapping): best %.1f ms, median %.1f ms\n", map.best,
         map.median);
  printf("  ReadFile into a 1 MiB buffer:         best %.1f ms, median %.1f ms\n", read.best,
         read.median);
  return 0;
}

int Once() {
  const std::string dir = WorkDirectory();
  const std::string target = dir + "once.bin";
  const int result = ExtractFile(GetModuleHandleA(nullptr), "BIG", "BIN", target.c_str());
  DeleteFileA(target.c_str());
  RemoveDirectoryA(dir.c_str());
  return result == 0 ? 0 : 1;
}

int Launch(int reps, const char* program, const char* argument) {
  std::vector<double> times;
  for (int i = 0; i < reps; ++i) {
    std::string commandLine = std::string("\"") + program + "\" " + argument;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const double start = Now();
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
      return Fail("CreateProcessA");
    WaitForSingleObject(info.hProcess, INFINITE);
    times.push_back(Now() - start);
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (code != 0) return Fail("the child run");
  }
  const Summary summary = Summarize(times);
  const char* name = program;
  for (const char* c = program; *c; ++c) {
    if (*c == '\\' || *c == '/') name = c + 1;
  }
  printf("%s %s: best %.1f ms, median %.1f ms over %d runs\n", name,
         argument, summary.best, summary.median, reps);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "compare" && argc == 3) return Compare(atoi(argv[2]));
  if (mode == "once") return Once();
  if (mode == "idle") return 0;
  if (mode == "launch" && argc == 5) return Launch(atoi(argv[2]), argv[3], argv[4]);
  if (mode == "held" && argc == 3) return Held(atoi(argv[2]));
  fprintf(stderr,
          "usage: extract_bench compare REPS | once | idle | launch REPS PROGRAM ARG | held REPS\n");
  return 2;
}
