// The child program fixture itself: it must do what its orders say, or the
// tests built on it prove nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "child_program/child_orders.h"
#include "common/fixture_keys.h"
#include "process.h"
#include "registry_guard.h"
#include "scratch_dir.h"

namespace {

constexpr char kInstallKey[] = "SOFTWARE\\BootstrapperTests\\ChildInstall";

class ChildProgram : public testing::Test {
 protected:
  ChildProgram() : dir_("child"), program_(dir_.path() + "LumenoUpdater_2A.exe") {}
  void SetUp() override {
    ASSERT_TRUE(CopyFileA(BuiltProgram("child_program.exe").c_str(), program_.c_str(), TRUE));
    ASSERT_EQ(ERROR_SUCCESS, DeleteRegistryTree(HKEY_LOCAL_MACHINE, kInstallKey));
  }
  void TearDown() override { DeleteRegistryTree(HKEY_LOCAL_MACHINE, kInstallKey); }

  ScratchDir dir_;
  std::string program_;
};

// Everything in one run: the record of its command line, tail, directory and
// own path, the install-path value, the sleep and the exit code.
TEST_F(ChildProgram, RecordsItsRunAndFollowsOrders) {
  ChildOrders orders(dir_.path() + "runs.log");
  orders.ExitCode(7);
  orders.SleepMs(300);
  orders.WriteInstallPath(kInstallKey, "InstallPath", "C:\\Apps\\Lumeno\\");
  const std::string workDir = dir_.path() + "work";
  ASSERT_TRUE(CreateDirectoryA(workDir.c_str(), nullptr));

  const auto start = std::chrono::steady_clock::now();
  const ProcessResult run = RunProcess(Quote(program_) + "  /S /v \"a b\"", 30000, workDir);
  const auto elapsed = std::chrono::steady_clock::now() - start;

  ASSERT_TRUE(run.started);
  EXPECT_EQ(7u, run.exitCode);
  EXPECT_GE(elapsed, std::chrono::milliseconds(300));
  const auto runs = orders.Runs();
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ("1", Field(runs[0], "run"));
  EXPECT_EQ(std::to_string(run.processId), Field(runs[0], "pid"));
  EXPECT_EQ(program_, Field(runs[0], "path"));
  EXPECT_EQ(Quote(program_) + "  /S /v \"a b\"", Field(runs[0], "commandline"));
  EXPECT_EQ("/S /v \"a b\"", Field(runs[0], "tail"));
  EXPECT_EQ(workDir, Field(runs[0], "cwd"));
  EXPECT_EQ("written", Field(runs[0], "install"));
  EXPECT_EQ("7", Field(runs[0], "exitcode"));
  std::string installed;
  ASSERT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, kInstallKey, "InstallPath", &installed));
  EXPECT_EQ("C:\\Apps\\Lumeno\\", installed);
}

// A per-run exit code overrides the general one for that run only, so that a
// test can have a first launch fail and the second succeed. Full 32-bit codes.
TEST_F(ChildProgram, ExitCodeOfOneRunOverridesTheGeneralOne) {
  ChildOrders orders(dir_.path() + "runs.log");
  orders.ExitCode(0xFFFFFFFF);
  orders.ExitCodeOfRun(2, 0);
  orders.ExitCodeOfRun(3, 0xC0000005);
  const DWORD expected[] = {0xFFFFFFFF, 0, 0xC0000005, 0xFFFFFFFF};
  for (DWORD code : expected) {
    const ProcessResult run = RunProcess(Quote(program_));
    ASSERT_TRUE(run.started);
    EXPECT_EQ(code, run.exitCode);
  }
  const auto runs = orders.Runs();
  ASSERT_EQ(4u, runs.size());
  EXPECT_EQ("4", Field(runs[3], "run"));
  EXPECT_EQ("", Field(runs[3], "tail"));
  EXPECT_EQ("none", Field(runs[3], "install"));
}

struct MutexProbe {
  std::string name;
  bool seen = false;
};

void WatchForMutex(DWORD, void* context) {
  auto* probe = static_cast<MutexProbe*>(context);
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (!probe->seen && GetTickCount64() < deadline) {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, probe->name.c_str());
    if (mutex) {
      probe->seen = true;
      CloseHandle(mutex);
    }
    Sleep(10);
  }
}

TEST_F(ChildProgram, HoldsNamedMutexWhileItRuns) {
  ChildOrders orders(dir_.path() + "runs.log");
  MutexProbe probe;
  probe.name = "BootstrapperTestsChildMutex" + std::to_string(GetCurrentProcessId());
  orders.HoldMutex(probe.name);
  orders.SleepMs(1500);
  const ProcessResult run = RunProcess(Quote(program_), 30000, "", WatchForMutex, &probe);
  ASSERT_TRUE(run.started);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(probe.seen);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(nullptr, OpenMutexA(SYNCHRONIZE, FALSE, probe.name.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

// Without orders it is a quiet installer that succeeded and leaves no trace.
TEST_F(ChildProgram, WithoutOrdersExitsZeroAndCreatesNoKey) {
  { ChildOrders cleared(dir_.path() + "unused.log"); }
  const ProcessResult run = RunProcess(Quote(program_) + " /S");
  ASSERT_TRUE(run.started);
  EXPECT_EQ(0u, run.exitCode);
  HKEY key;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExA(HKEY_CURRENT_USER, kChildOrdersKey, 0, KEY_READ, &key));
}

}  // namespace
