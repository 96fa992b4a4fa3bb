// Terminating the application's processes by executable name, with copies of
// the fake application running under those names. Holds the display lock with
// the other tests that start or stop processes under the application's names.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_app_process.h"
#include "host/process_kill.h"
#include "process.h"
#include "scratch_dir.h"

namespace {

struct NamedCopy {
  const char* fileName;
  bool terminated;
};

// Each copy sits in its own directory: lumeno2.exe and Lumeno2.exe are one
// file name to the file system but two names to the process list.
std::string CopyAs(const ScratchDir& dir, size_t index, const char* fileName) {
  const std::string subdir = dir.path() + std::to_string(index);
  CreateDirectoryA(subdir.c_str(), nullptr);
  const std::string path = subdir + "\\" + fileName;
  return CopyFileA(BuiltProgram("fake_app.exe").c_str(), path.c_str(), TRUE) ? path : "";
}

TEST(KillLumenoProcesses, TerminatesEveryProcessWhoseNameContainsAListedName) {
  const NamedCopy copies[] = {
      {"Lumeno2.exe", true},          {"Lumeno2.scr", true},
      {"LumenoMediaDetector.exe", true}, {"Brimlet.exe", true},
      {"KorvexPhotoLab.scr", true},   {"clipthumb.exe", true},
      {"Lumeno3.exe", true},          {"KvxPhotos.scr", true},
      {"LumenoPhotoViewer.exe", true},
      // A listed name anywhere inside the executable name.
      {"Lumeno2.exe.bak", true},      {"OldLumeno3.exe", true},
      {"Lumeno2.exe.Lumeno3.exe", true},
      // Case matters; a name merely like a listed one does not count.
      {"lumeno2.exe", false},         {"LUMENO3.EXE", false},
      {"Lumeno2.ex", false},          {"Lumeno.exe", false},
      {"Brimlet2.exe", false},
  };
  ScratchDir dir("kill");
  std::vector<std::unique_ptr<FakeApp>> apps;
  for (size_t i = 0; i < sizeof copies / sizeof copies[0]; ++i) {
    const std::string program = CopyAs(dir, i, copies[i].fileName);
    ASSERT_FALSE(program.empty()) << copies[i].fileName;
    apps.push_back(std::make_unique<FakeApp>(program, "--lifetime-ms 60000"));
    ASSERT_TRUE(apps.back()->ready()) << copies[i].fileName;
  }

  KillLumenoProcesses();

  for (size_t i = 0; i < apps.size(); ++i) {
    if (!copies[i].terminated) continue;
    DWORD exitCode = 0;
    EXPECT_TRUE(apps[i]->WaitForExit(5000, &exitCode)) << copies[i].fileName << " still runs";
    EXPECT_EQ(1u, exitCode) << copies[i].fileName;
  }
  // The terminated ones are gone: any termination of the others would have come with them.
  for (size_t i = 0; i < apps.size(); ++i) {
    if (copies[i].terminated) continue;
    EXPECT_TRUE(apps[i]->Running()) << copies[i].fileName << " was terminated";
  }
}

// A process named like the application runs the termination itself: it ends
// the other copy of that name but not itself.
TEST(KillLumenoProcesses, NeverTerminatesTheCallingProcess) {
  ScratchDir dir("killself");
  FakeApp other(CopyAs(dir, 0, "Lumeno2.exe"), "--lifetime-ms 60000");
  ASSERT_TRUE(other.ready());
  const std::string caller = dir.path() + "1\\Lumeno2.exe";
  CreateDirectoryA((dir.path() + "1").c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(BuiltProgram("kill_caller.exe").c_str(), caller.c_str(), TRUE));

  const ProcessResult result = RunProcess(Quote(caller), 20000);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(0u, result.exitCode);
  EXPECT_NE(std::string::npos, result.output.find("survived")) << result.output;
  DWORD exitCode = 0;
  EXPECT_TRUE(other.WaitForExit(5000, &exitCode)) << "the other Lumeno2.exe still runs";
  EXPECT_EQ(1u, exitCode);
}

}  // namespace
