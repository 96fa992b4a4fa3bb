#include "events/program_exit.h"

#include <shellapi.h>

#include "base/report.h"
#include "base/run_log.h"
#include "base/system_functions.h"
#include "events/install_path_check.h"
#include "files/temp_program.h"

unsigned long ProcessIdOf(HANDLE process) {
  const auto processId = GetSystemFunction<SystemFunction::kGetProcessId>();
  return processId ? processId(process) : 0;
}

void LogProcessExit(unsigned long id, DWORD exitCode, unsigned long startedMs) {
  LogLine("process %lu exited with %lu after %lu ms", id, exitCode, RunLogMs() - startedMs);
}

bool WaitForProgramExit(UniqueHandle process, DWORD* exitCode) {
  const unsigned long id = ProcessIdOf(process.get());
  LogLine("process %lu started, waiting for it", id);
  const unsigned long started = RunLogMs();
  if (WaitForSingleObject(process.get(), INFINITE) == WAIT_FAILED) {
    ReportError("WaitForSingleObject failed");
    return false;
  }
  if (!GetExitCodeProcess(process.get(), exitCode)) {
    ReportError("GetExitCodeProcess failed");
    return false;
  }
  LogProcessExit(id, *exitCode, started);
  if (!process.Close()) {
    ReportError("CloseHandle() failed, GetLastError()=%d", static_cast<int>(GetLastError()));
    return false;
  }
  return true;
}

int RunHeldProgram(const EventContext& event, TempProgram& program, const char* parameters,
                   void (*afterEnd)(const char* path)) {
  const char* path = program.name.path;
  SHELLEXECUTEINFOA request = {};
  request.cbSize = sizeof request;
  // No shell error box: a program that cannot start is reported like every
  // other failure, and a silent installation does not wait for a click.
  request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  request.lpFile = path;
  request.lpParameters = parameters;
  request.lpDirectory = program.name.directory;
  request.nShow = SW_SHOW;
  BeforeHeldProgramStart(path);
  const BOOL started = ShellExecuteExA(&request);
  program.hold.Close();
  if (!started) {
    ReportError("ShellExecute failed: %s", path);
    return -1;
  }
  DWORD exitCode = 0;
  const bool ended = WaitForProgramExit(UniqueHandle(request.hProcess), &exitCode);
  if (afterEnd) afterEnd(path);
  if (!ended) return -1;
  if (exitCode != 0) {
    ReportError("Bad Exit Code: %d", static_cast<int>(exitCode));
    return -1;
  }
  return ReadInstallPathOrReport(event) ? 0 : -1;
}
