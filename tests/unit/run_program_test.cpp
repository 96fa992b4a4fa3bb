#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "driver/command_line.h"
#include "host/run_program.h"
#include "process.h"
#include "scratch_dir.h"

namespace {

// Sets an environment variable for the programs this process starts, and
// removes it again.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~ScopedEnvironment() { SetEnvironmentVariableA(name_, nullptr); }

 private:
  const char* name_;
};

bool WaitForFile(const std::string& path, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!FileExists(path)) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(20);
  }
  return true;
}

// Lines "key=value" of the record the started program wrote.
std::string Field(const std::string& record, const std::string& key) {
  std::istringstream lines(record);
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
  }
  return "<missing " + key + ">";
}

// The program is started with no parameters, shown normally, and RunProgram
// returns while it still runs: the program waits for an event that is set only
// after RunProgram came back.
TEST(RunProgram, StartsProgramWithoutParametersAndDoesNotWait) {
  ScratchDir dir("runprog");
  const std::string program = dir.path() + "installed app\\Lumeno run.exe";
  ASSERT_TRUE(CreateDirectoryA((dir.path() + "installed app").c_str(), nullptr));
  ASSERT_TRUE(CopyFileA(BuiltProgram("fake_app.exe").c_str(), program.c_str(), TRUE));
  const std::string record = dir.path() + "record.txt";
  const std::string eventName = "host-runprogram-" + std::to_string(GetCurrentProcessId());
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  ASSERT_NE(nullptr, release);
  // The shell passes no parameters, so the stand-in takes its options from here.
  ScopedEnvironment options("FAKE_APP_OPTIONS", "--cmdline-log " + Quote(record) +
                                                    " --wait-event " + eventName +
                                                    " --lifetime-ms 20000");

  const ULONGLONG before = GetTickCount64();
  EXPECT_TRUE(RunProgram(program.c_str()));
  const ULONGLONG elapsed = GetTickCount64() - before;
  EXPECT_LT(elapsed, 3000u) << "RunProgram took " << elapsed << " ms";

  ASSERT_TRUE(WaitForFile(record, 10000)) << "the program did not start";
  Sleep(100);  // the record's three lines are written one after another
  std::string text;
  ASSERT_TRUE(ReadWholeFile(record, &text));
  const std::string commandLine = Field(text, "cmdline");
  EXPECT_STREQ("", CommandLineTail(commandLine.c_str())) << "command line [" << commandLine << "]";
  EXPECT_NE(std::string::npos, commandLine.find("Lumeno run.exe")) << commandLine;
  EXPECT_EQ(std::to_string(SW_SHOW), Field(text, "show"));

  const DWORD pid = strtoul(Field(text, "pid").c_str(), nullptr, 10);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
  ASSERT_NE(nullptr, process) << "pid " << pid;
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(process, 0))
      << "the program should still be waiting for its event";
  SetEvent(release);
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(process, 10000));
  DWORD exitCode = 0xFFFFFFFF;
  GetExitCodeProcess(process, &exitCode);
  EXPECT_EQ(0u, exitCode);
  CloseHandle(process);
  CloseHandle(release);
}

}  // namespace

namespace {

// A program that cannot start gives false at once: no shell error box is
// left waiting for someone to close it.
TEST(RunProgram, ProgramThatCannotStartFailsWithoutWaiting) {
  ScratchDir dir("runprogbad");
  const std::string notAProgram = dir.path() + "notes.exe";
  ASSERT_TRUE(WriteWholeFile(notAProgram, "plain text, not a program"));
  for (const std::string& path : {dir.path() + "missing.exe", notAProgram}) {
    SCOPED_TRACE(path);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(RunProgram(path.c_str()));
    EXPECT_LT(GetTickCount64() - start, 5000u);
  }
}

}  // namespace
