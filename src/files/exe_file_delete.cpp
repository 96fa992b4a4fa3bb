#include "files/exe_file_delete.h"

#include <windows.h>

#include "base/pause.h"
#include "base/report.h"

namespace {
constexpr unsigned kRetryPauseMs = 1000;

// A file that is not there is already deleted: RUN calls this after every
// failed extraction, also when nothing was ever written, and a wait plus a
// failure report for it would be wrong.
bool DeletedOrAbsent(const char* path) {
  return DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
}
}  // namespace

void EXEFileDelete(const char* path) {
  if (!path || !*path) return;
  if (DeletedOrAbsent(path)) return;
  PauseMs(kRetryPauseMs);
  if (DeletedOrAbsent(path)) return;
  const DWORD error = GetLastError();
  ReportError("Unable to EXEFileDelete %s, GetLastError()=%d", path, static_cast<int>(error));
}
