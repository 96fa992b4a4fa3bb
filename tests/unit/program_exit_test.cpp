#include "events/program_exit.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "process.h"
#include "report_capture.h"

namespace {

using Messages = std::vector<std::string>;

// The wait for the program, for RUN and URLRUN alike: each failing step with
// a handle to a real ended process that lacks what that step needs.
struct WaitCase {
  const char* what;
  DWORD access;   // of the handle passed
  bool protect;   // protected from being closed
  const char* report;
};

class ProgramExit : public testing::TestWithParam<WaitCase> {};

TEST_P(ProgramExit, ReportsTheFailingStep) {
  const WaitCase& c = GetParam();
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string commandLine = Quote(BuiltProgram("child_program.exe"));
  ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info));
  CloseHandle(info.hThread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 30000));
  HANDLE handle = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), info.hProcess, GetCurrentProcess(), &handle,
                              c.access, FALSE, 0));
  if (c.protect)
    SetHandleInformation(handle, HANDLE_FLAG_PROTECT_FROM_CLOSE, HANDLE_FLAG_PROTECT_FROM_CLOSE);

  ReportCapture reports;
  DWORD exitCode = 0xdeadbeef;
  SetLastError(0xdeadbeef);  // the report must carry the close's own error
  const bool ended = WaitForProgramExit(UniqueHandle(handle), &exitCode);
  EXPECT_EQ(c.report == nullptr, ended);
  EXPECT_EQ(c.report ? Messages{c.report} : Messages{}, reports.errors());
  if (!c.report) {
    EXPECT_EQ(0u, exitCode);
  }
  if (c.protect) {
    SetHandleInformation(handle, HANDLE_FLAG_PROTECT_FROM_CLOSE, 0);
    CloseHandle(handle);
  }
  CloseHandle(info.hProcess);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ProgramExit,
    testing::Values(
        WaitCase{"every right", PROCESS_ALL_ACCESS, false, nullptr},
        WaitCase{"no right to wait", PROCESS_QUERY_LIMITED_INFORMATION, false,
                 "WaitForSingleObject failed"},
        WaitCase{"no right to read the exit code", SYNCHRONIZE, false, "GetExitCodeProcess failed"},
        WaitCase{"handle protected from closing", PROCESS_ALL_ACCESS, true,
                 "CloseHandle() failed, GetLastError()=6"}),
    CaseName<WaitCase>);

TEST(ProgramExitWithoutHandle, ReportsTheFailedWait) {
  ReportCapture reports;
  DWORD exitCode = 0xdeadbeef;
  EXPECT_FALSE(WaitForProgramExit(UniqueHandle(), &exitCode));
  EXPECT_EQ(Messages{"WaitForSingleObject failed"}, reports.errors());
  EXPECT_EQ(0xdeadbeefu, exitCode) << "no exit code without a process";
}

}  // namespace
