#include "events/program_exit.h"

#include "base/report.h"
#include "base/run_log.h"
#include "base/system_functions.h"

unsigned long ProcessIdOf(HANDLE process) {
  const auto processId = GetSystemFunction<SystemFunction::kGetProcessId>();
  return processId ? processId(process) : 0;
}

void LogProcessExit(unsigned long id, DWORD exitCode, unsigned long startedMs) {
  LogLine("process %lu exited with %lu after %lu ms", id, exitCode, RunLogMs() - startedMs);
}

bool WaitForProgramExit(HANDLE process, DWORD* exitCode) {
  const unsigned long id = ProcessIdOf(process);
  LogLine("process %lu started, waiting for it", id);
  const unsigned long started = RunLogMs();
  if (WaitForSingleObject(process, INFINITE) == WAIT_FAILED) {
    ReportError("WaitForSingleObject failed");
    if (process) CloseHandle(process);
    return false;
  }
  if (!GetExitCodeProcess(process, exitCode)) {
    ReportError("GetExitCodeProcess failed");
    CloseHandle(process);
    return false;
  }
  LogProcessExit(id, *exitCode, started);
  if (!CloseHandle(process)) {
    ReportError("CloseHandle() failed, GetLastError()=%d", static_cast<int>(GetLastError()));
    return false;
  }
  return true;
}
