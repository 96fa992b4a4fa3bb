#include "files/replace_target.h"

#include <windows.h>

#include "base/pause.h"
#include "base/report.h"

bool RemoveOldTarget(const char* target) {
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
    if (DeleteFileA(target)) return true;
    error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return true;
    PauseMs(kReplacePauseMs);
  }
  ReportError("ExtractFile - DeleteFile failed target=%s, GetLastError()=%d", target,
              static_cast<int>(error));
  return false;
}

bool MoveScratchToTarget(const char* name, const char* type, const char* scratch,
                         const char* target) {
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
    if (MoveFileA(scratch, target)) return true;
    error = GetLastError();
    PauseMs(kReplacePauseMs);
  }
  ReportError(
      "ExtractFile - MoveFile failed name=%s, ext=%s, path=%s, target=%s, GetLastError()=%d", name,
      type, scratch, target, static_cast<int>(error));
  return false;
}
