// Launch benchmark, side by side in one run: the time from starting an
// installer to the start of the program it carries (the program records its
// own start, FixtureClockNow, comparable between processes) and to the
// installer's exit, for
//   - child_program.exe started directly (what a small installer costs);
//   - the floor for a 100 MiB program: copy_floor.exe, one CopyFileA of its
//     bytes into a fresh folder under the temporary directory and one
//     process start;
//   - each STUB (a bootstrapper built beside this program) packed with the
//     small program and with the 100 MiB one, on the shell path (no "/S");
//   - each PEER (LABEL=FILE, an installer built beside this program that
//     carries the 100 MiB program and does the same job).
//
//   launch_bench REPS BIG_PROGRAM STUB... [LABEL=PEER...]
//
// BIG_PROGRAM (beside this program) is child_program.exe with 100 MiB after
// its image, which the loader ignores, so it still runs. Every variant runs
// once unreported, then REPS rounds run all of them, each round in a new
// shuffled order, so that a slow spell of the machine does not fall on one
// variant only. Best and median of the rounds are reported.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
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

struct Variant {
  std::string label;
  std::string commandLine;
  std::vector<double> toChildMs;
  std::vector<double> toExitMs;
};

double Ms(unsigned long long from, unsigned long long to) {
  return static_cast<double>(static_cast<long long>(to - from)) / 10000.0;
}

bool RunOnce(Variant* variant, const ChildOrders& orders, bool record) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string commandLine = variant->commandLine;
  const unsigned long long before = FixtureClockNow();
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    fprintf(stderr, "launch_bench: CreateProcess %s failed: %lu\n", variant->commandLine.c_str(),
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

double Best(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? atoi(argv[1]) : 0;
  if (reps < 1 || argc < 4) {
    fprintf(stderr, "usage: launch_bench REPS BIG_PROGRAM STUB... [LABEL=PEER...]\n");
    return 2;
  }
  ScratchDir dir("launch_bench");
  // Every installer inherits it: their fresh folders and temporary programs
  // go there.
  const std::string temp = dir.path() + "temp\\";
  if (!CreateDirectoryA(temp.c_str(), nullptr) || !SetEnvironmentVariableA("TMP", temp.c_str())) {
    fprintf(stderr, "launch_bench: no private TMP: %lu\n", GetLastError());
    return 1;
  }
  std::string small, big;
  if (!ReadWholeFile(BuiltProgram("child_program.exe"), &small) ||
      !ReadWholeFile(BuiltProgram(argv[2]), &big)) {
    fprintf(stderr, "launch_bench: child_program.exe or %s not found beside the benchmark\n",
            argv[2]);
    return 1;
  }
  ChildOrders orders(dir.path() + "child.log");
  InstallKeyRemover installKey;
  // The installer leaves the install path that the shell path checks.
  orders.WriteInstallPath(kSubkey, "InstallPath", dir.path() + "app");
  const std::string payload =
      std::string("<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>") + kSubkey +
      "</subkey><installkey>InstallPath</installkey>"
      "<event><type>RUN</type><src>LUMENO2_ADMIN.EXE</src></event></payload>";
  char mib[32];
  snprintf(mib, sizeof mib, "%.1f MiB", static_cast<double>(big.size()) / (1 << 20));

  std::vector<Variant> variants;
  const std::string direct = dir.path() + "child_program.exe";
  if (!WriteWholeFile(direct, small)) return 1;
  variants.push_back({"child_program.exe started directly", Quote(direct), {}, {}});
  variants.push_back({std::string("floor: CopyFileA of ") + mib + " + one start",
                      Quote(BuiltProgram("copy_floor.exe")) + " " + Quote(BuiltProgram(argv[2])),
                      {},
                      {}});
  for (int i = 3; i < argc; ++i) {
    const char* equals = strchr(argv[i], '=');
    if (equals) {  // a peer installer
      variants.push_back({std::string(argv[i], static_cast<size_t>(equals - argv[i])),
                          Quote(BuiltProgram(equals + 1)), {}, {}});
      continue;
    }
    const std::string stub = BuiltProgram(argv[i]);
    for (const std::string* installer : {&small, &big}) {
      const bool isBig = installer == &big;
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
      variants.push_back({std::string(argv[i]) + (isBig ? std::string(", ") + mib : ", small"),
                          Quote(program), {}, {}});
    }
  }

  for (Variant& variant : variants)
    if (!RunOnce(&variant, orders, false)) return 1;
  std::vector<Variant*> order;
  for (Variant& variant : variants) order.push_back(&variant);
  std::mt19937 shuffle(20261209u);
  for (int rep = 0; rep < reps; ++rep) {
    std::shuffle(order.begin(), order.end(), shuffle);
    for (Variant* variant : order)
      if (!RunOnce(variant, orders, true)) return 1;
  }

  printf("Launch to the carried program's start and to the installer's exit,\n"
         "%d rounds in shuffled order (ms)\n", reps);
  printf("%-46s %17s %17s\n", "", "to child", "to exit");
  printf("%-46s %8s %8s %8s %8s\n", "", "best", "median", "best", "median");
  for (const Variant& variant : variants) {
    printf("%-46s %8.1f %8.1f %8.1f %8.1f\n", variant.label.c_str(), Best(variant.toChildMs),
           Median(variant.toChildMs), Best(variant.toExitMs), Median(variant.toExitMs));
  }
  return 0;
}
