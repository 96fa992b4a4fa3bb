#include "files/path_directories.h"

#include <windows.h>

#include <cstring>

#include "base/string_ops.h"

static_assert(kPathBufferSize == MAX_PATH, "one name for the platform's path limit");

bool CreatePathDirectories(const char* path) {
  if (!path) return false;
  const size_t length = strlen(path);
  if (length + 1 > kPathBufferSize) return false;
  char prefix[kPathBufferSize];
  memcpy(prefix, path, length + 1);

  for (char* slash = strchr(prefix, '\\'); slash; slash = strchr(slash + 1, '\\')) {
    *slash = '\0';
    // Existing directories and the bare drive ("C:") fail here, and that is
    // fine: whatever is truly missing shows when the file is written.
    CreateDirectoryA(prefix, nullptr);
    *slash = '\\';
  }
  return true;
}

DWORD ReadTempDirectory(PathBuffer& directory) {
  const DWORD length = GetTempPathA(sizeof directory, directory);
  if (length != 0 && length < sizeof directory) return ERROR_SUCCESS;
  const DWORD error = length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
  directory[0] = '\0';
  return error;
}

DWORD ReadOwnPath(char* path, DWORD size) {
  const DWORD length = GetModuleFileNameA(nullptr, path, size);
  if (length == 0 || length >= size) return 0;
  return length;
}
