#include "files/scratch_file.h"

#include <cstring>

#include "base/report.h"
#include "base/string_ops.h"
#include "base/unique_handle.h"

namespace {

void ReportWriteFailure(const char* name, const char* type, const char* scratch, DWORD error) {
  ReportError("ExtractFile - WriteFile failed name=%s, ext=%s, path=%s, GetLastError()=%d", name,
              type, scratch, static_cast<int>(error));
}

}  // namespace

bool NameScratchFile(const char* name, const char* type, const char* target, PathBuffer& scratch) {
  const char* lastSlash = strrchr(target, '\\');
  const size_t directoryLength = lastSlash ? static_cast<size_t>(lastSlash - target) : 0;
  if (strlen(target) >= kPathBufferSize || directoryLength > kTempFileDirectoryMax) {
    ReportError("ExtractFile - GetTempFileName failed name=%s, ext=%s, path=%.*s, GetLastError()=%d",
                name, type, static_cast<int>(directoryLength), target,
                static_cast<int>(ERROR_FILENAME_EXCED_RANGE));
    return false;
  }
  PathBuffer directory;
  memcpy(directory, target, directoryLength);
  directory[directoryLength] = '\0';

  if (GetTempFileNameA(directory, "ppp", GetCurrentThreadId(), scratch) == 0) {
    const DWORD error = GetLastError();
    ReportError("ExtractFile - GetTempFileName failed name=%s, ext=%s, path=%s, GetLastError()=%d",
                name, type, directory, static_cast<int>(error));
    return false;
  }
  return true;
}

bool WriteScratchFile(const char* name, const char* type, const char* scratch, const void* data,
                      DWORD size) {
  UniqueHandle file(CreateFileA(scratch, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    ReportError("ExtractFile - CreateFile failed name=%s, ext=%s, path=%s, GetLastError()=%d", name,
                type, scratch, static_cast<int>(error));
    return false;
  }

  DWORD written = 0;
  DWORD error = ERROR_SUCCESS;
  if (!WriteFile(file.get(), data, size, &written, nullptr)) {
    error = GetLastError();
  } else if (written != size) {
    // A full disk takes what fits and reports success without a code; the
    // next write there would fail with ERROR_DISK_FULL, so that is the code
    // given for the short write.
    error = ERROR_DISK_FULL;
  }
  // A failed close can mean that written data never reached the disk.
  if (!file.Close() && error == ERROR_SUCCESS) error = GetLastError();

  if (error != ERROR_SUCCESS) {
    // Nobody can use an incomplete copy, and on a full disk it only keeps
    // the space taken. Failing to remove it changes nothing for the caller.
    DeleteFileA(scratch);
    ReportWriteFailure(name, type, scratch, error);
    return false;
  }
  return true;
}
