#include "events/program_exit.h"

#include "base/report.h"

bool WaitForProgramExit(HANDLE process, DWORD* exitCode) {
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
  if (!CloseHandle(process)) {
    ReportError("CloseHandle() failed, GetLastError()=%d", static_cast<int>(GetLastError()));
    return false;
  }
  return true;
}
