// Launch benchmark: the time from the bootstrapper's start to the start of
// the installer it carries, on the shell path (no "/S"), for a small
// installer (child_program.exe) and a 100 MiB one (the same program with
// 100 MiB of filler after its image, which the loader ignores, so it still
// runs). The clock is read here just before CreateProcess and by the child
// on entry (FixtureClockNow, comparable between processes).
//
//   launch_bench REPS STUB...
//
// Each STUB (the file name of a bootstrapper built beside this program) is
// packed with both installers; one
// unreported warm-up run per variant comes first, then REPS rounds run the
// variants in turn. As the floor, child_program.exe is also started directly.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "child_program/child_orders.h"
#include "common/fixture_clock.h"
#include "process.h"
#include "registry_guard.h"
#include "resource_pack.h"
#include "scratch_dir.h"

namespace {

constexpr char kSubkey[] = "SOFTWARE\\BootstrapperTests\\LaunchBench";
constexpr size_t kFillerBytes = 100u << 20;

struct Variant {
  std::string label;
  std::string program;
  std::vector<double> toChildMs;
  std::vector<double> toExitMs;
};

double Ms(unsigned long long from, unsigned long long to) {
  return static_cast<double>(static_cast<long long>(to - from)) / 10000.0;
}

// Bytes that no file system or cache can shortcut (no runs of zeros).
std::string Filler(size_t size) {
  std::string bytes(size, '\0');
  unsigned int state = 0x9E3779B9u;
  for (size_t i = 0; i + 4 <= size; i += 4) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    memcpy(&bytes[i], &state, 4);
  }
  return bytes;
}

bool RunOnce(Variant* variant, const ChildOrders& orders, bool record) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string commandLine = Quote(variant->program);
  const unsigned long long before = FixtureClockNow();
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    fprintf(stderr, "launch_bench: CreateProcess %s failed: %lu\n", variant->program.c_str(),
            GetLastError());
    return false;
  }
  const DWORD wait = WaitForSingleObject(info.hProcess, 60000);
  const unsigned long long after = FixtureClockNow();
  DWORD exitCode = 1;
  GetExitCodeProcess(info.hProcess, &exitCode);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  const std::vector<FixtureRecord> runs = orders.Runs();
  if (wait != WAIT_OBJECT_0 || exitCode != 0 || runs.empty()) {
    fprintf(stderr, "launch_bench: %s: wait %lu, exit code %lu, %u child runs\n",
            variant->label.c_str(), wait, exitCode, static_cast<unsigned>(runs.size()));
    return false;
  }
  const unsigned long long started = strtoull(Field(runs.back(), "started").c_str(), nullptr, 10);
  if (record) {
    variant->toChildMs.push_back(Ms(before, started));
    variant->toExitMs.push_back(Ms(before, after));
  }
  return true;
}

// The install path the child writes goes again on every way out.
struct InstallKeyRemover {
  ~InstallKeyRemover() { DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey); }
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? atoi(argv[1]) : 0;
  if (reps < 1 || argc < 3) {
    fprintf(stderr, "usage: launch_bench REPS STUB...\n");
    return 2;
  }
  ScratchDir dir("launch_bench");
  // The bootstrappers inherit it: their temporary programs go there.
  const std::string temp = dir.path() + "temp\\";
  if (!CreateDirectoryA(temp.c_str(), nullptr) || !SetEnvironmentVariableA("TMP", temp.c_str())) {
    fprintf(stderr, "launch_bench: no private TMP: %lu\n", GetLastError());
    return 1;
  }
  std::string small;
  if (!ReadWholeFile(BuiltProgram("child_program.exe"), &small)) {
    fprintf(stderr, "launch_bench: child_program.exe not found beside the benchmark\n");
    return 1;
  }
  const std::string big = small + Filler(kFillerBytes);
  ChildOrders orders(dir.path() + "child.log");
  InstallKeyRemover installKey;
  // The installer leaves the install path that the shell path checks.
  orders.WriteInstallPath(kSubkey, "InstallPath", dir.path() + "app");
  const std::string payload =
      std::string("<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>") + kSubkey +
      "</subkey><installkey>InstallPath</installkey>"
      "<event><type>RUN</type><src>LUMENO2_ADMIN.EXE</src></event></payload>";

  std::vector<Variant> variants;
  const std::string direct = dir.path() + "child_program.exe";
  if (!WriteWholeFile(direct, small)) return 1;
  variants.push_back({"child_program.exe started directly (floor)", direct, {}, {}});
  for (int i = 2; i < argc; ++i) {
    const std::string stub = BuiltProgram(argv[i]);
    const std::string* installers[] = {&small, &big};
    for (const std::string* installer : installers) {
      const bool isBig = installer == &big;
      char label[160];
      snprintf(label, sizeof label, "%s, installer of %.1f MiB", argv[i],
               static_cast<double>(installer->size()) / (1 << 20));
      const std::string program =
          dir.path() + std::to_string(variants.size()) + (isBig ? "_big.exe" : "_small.exe");
      std::string error;
      if (!WriteEditedCopy(stub, program,
                           {{ResourceName{"PAYLOAD", "XML"}, false, payload},
                            {ResourceName{"LUMENO2_ADMIN", "EXE"}, false, *installer}},
                           &error)) {
        fprintf(stderr, "launch_bench: packing %s: %s\n", stub.c_str(), error.c_str());
        return 1;
      }
      variants.push_back({label, program, {}, {}});
    }
  }

  for (Variant& variant : variants)
    if (!RunOnce(&variant, orders, false)) return 1;
  for (int rep = 0; rep < reps; ++rep)
    for (Variant& variant : variants)
      if (!RunOnce(&variant, orders, true)) return 1;

  printf("Start to installer start, shell path, %d runs each (ms)\n", reps);
  printf("%-52s %8s %8s %16s\n", "", "best", "median", "median to exit");
  for (const Variant& variant : variants) {
    printf("%-52s %8.1f %8.1f %16.1f\n", variant.label.c_str(),
           *std::min_element(variant.toChildMs.begin(), variant.toChildMs.end()),
           Median(variant.toChildMs), Median(variant.toExitMs));
  }
  return 0;
}
