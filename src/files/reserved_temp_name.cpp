#include "files/reserved_temp_name.h"

#include <windows.h>

#include "base/string_ops.h"

bool ReserveTempFileName(char* directory, char* name) {
  name[0] = '\0';
  const DWORD length = GetTempPathA(MAX_PATH, directory);
  if (length == 0 || length > kTempFileDirectoryMax) {
    directory[0] = '\0';  // not "" for GetTempFileNameA: that is the current directory
    return false;
  }
  if (!GetTempFileNameA(directory, "plr", 0, name)) {
    name[0] = '\0';
    return false;
  }
  return true;
}
