#include "files/path_directories.h"

#include <windows.h>

#include <cstring>

#include "base/string_ops.h"

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
