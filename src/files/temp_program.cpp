#include "files/temp_program.h"

#include <cstring>
#include <ctime>

#include "base/pause.h"
#include "base/report.h"
#include "base/string_ops.h"
#include "files/name_random.h"
#include "files/path_directories.h"

namespace {

constexpr unsigned kRetryPauseMs = 1000;

HeldProgramObserver gStartObserver = nullptr;
HeldProgramObserver gHoldObserver = nullptr;

// Only a missing file (or a missing directory above it) makes a name free;
// any other failure to read the attributes may hide someone's file.
bool NoSuchFile(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A file that is not there is already deleted: RUN deletes after every
// failed extraction, also when nothing was ever written, and a wait plus a
// failure report for it would be wrong.
bool DeletedOrAbsent(const char* path) {
  return DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace

unsigned MakeRandomEXENameFromSeed(PathBuffer& path, const char* directory, uint32_t seed) {
  NameRandom random(seed);
  for (int tried = 0; tried < kTempNameCandidates;) {
    const unsigned number = random.Next();
    // 0 is this function's failure value, so it is never a name. Skipped draws
    // are not candidates and do not count; the generator never yields more
    // than two zeros in a row.
    if (number == 0) continue;
    ++tried;
    char fileName[32];
    FormatBoundedArgs(fileName, sizeof fileName, "%s%x.exe", "LumenoUpdater_", number);
    // The temporary directory ends with a backslash, so it is the whole
    // drive-and-directory part of the candidate. A name that does not fit is
    // no name at all: one more taken candidate, and the next draw may be
    // shorter (fewer hex digits).
    if (JoinPath(path, directory, fileName) && NoSuchFile(path)) return number;
  }
  return 0;
}

unsigned MakeRandomEXEName(PathBuffer& path, const char* directory) {
  const uint32_t seconds = static_cast<uint32_t>(time(nullptr));
  return MakeRandomEXENameFromSeed(path, directory, seconds + GetCurrentThreadId());
}

int MakeTempEXEName(TempExeName* name) {
  if (ReadTempDirectory(name->directory) != ERROR_SUCCESS ||
      MakeRandomEXEName(name->path, name->directory) == 0) {
    ReportError("GetTempPath failed");
    return -1;
  }
  return 0;
}

bool ReserveTempFileName(PathBuffer& directory, PathBuffer& name) {
  name[0] = '\0';
  if (ReadTempDirectory(directory) != ERROR_SUCCESS || strlen(directory) > kTempFileDirectoryMax) {
    directory[0] = '\0';  // not "" for GetTempFileNameA: that is the current directory
    return false;
  }
  if (!GetTempFileNameA(directory, "plr", 0, name)) {
    name[0] = '\0';
    return false;
  }
  return true;
}

UniqueHandle HoldProgramFile(const char* path) {
  if (gHoldObserver) gHoldObserver(path);
  return UniqueHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

void SetHeldProgramObserver(HeldProgramObserver observer) { gStartObserver = observer; }

void BeforeHeldProgramStart(const char* path) {
  if (gStartObserver) gStartObserver(path);
}

void SetProgramHoldObserver(HeldProgramObserver observer) { gHoldObserver = observer; }

void EXEFileDelete(const char* path) {
  if (!path || !*path) return;
  if (DeletedOrAbsent(path)) return;
  PauseMs(kRetryPauseMs);
  if (DeletedOrAbsent(path)) return;
  const DWORD error = GetLastError();
  ReportError("Unable to EXEFileDelete %s, GetLastError()=%d", path, static_cast<int>(error));
}

TempProgram::~TempProgram() {
  hold.Close();
  if (name.path[0]) deleteProgram_(name.path);
  if (placeholder[0]) DeleteFileA(placeholder);
}
