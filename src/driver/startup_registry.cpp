#include "driver/startup_registry.h"

#include <windows.h>

#include <cstring>

#include "base/registry_key.h"
#include "base/run_log.h"
#include "base/string_ops.h"
#include "files/path_directories.h"

namespace {
// Reads HKLM\SOFTWARE's value name into data (260 bytes, zeroed first, so
// that a string stored without its NUL still ends within data's 261st byte
// when the caller gives one). Its registry status; size and type as read.
LONG ReadSoftwareValue(const char* name, BYTE* data, DWORD* size, DWORD* type) {
  RegistryKey key;
  if (!key.OpenForReading(HKEY_LOCAL_MACHINE, "SOFTWARE")) return ERROR_FILE_NOT_FOUND;
  *size = kPathBufferSize;
  return RegQueryValueExA(key.get(), name, nullptr, type, data, size);
}
}  // namespace

bool ReadDebugSwitch() {
  BYTE data[kPathBufferSize] = {};
  DWORD size = 0;
  // The data itself must begin with '1' and its NUL: a one-byte "1" stored
  // without a terminator is not the string "1", although the zeroed buffer
  // would supply the second byte. The registry type is not examined.
  return ReadSoftwareValue("lumenodebug", data, &size, nullptr) == ERROR_SUCCESS && size >= 2 &&
         data[0] == '1' && data[1] == '\0';
}

bool ReadLogSwitch(PathBuffer& path) {
  char data[kPathBufferSize + 1] = {};
  DWORD size = 0;
  DWORD type = 0;
  // A longer value fails the query: it is no path that could be followed.
  if (ReadSoftwareValue("lumenolog", reinterpret_cast<BYTE*>(data), &size, &type) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  const char* file = data;
  path[0] = '\0';
  if (strcmp(data, "1") == 0) {
    if (ReadTempDirectory(path) != ERROR_SUCCESS) return false;
    file = kRunLogFileName;
  }
  // A cut path would be another file.
  return AppendBounded(path, file) < kPathBufferSize && IsRootedPath(path);
}

bool RecordOriginalInstallerPath() {
  RegistryKey key;
  if (key.Create(HKEY_LOCAL_MACHINE, kInstallerKeyPath, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
    return false;
  char existing[kPathBufferSize];
  DWORD size = sizeof existing;
  if (RegQueryValueExA(key.get(), kOriginalInstallerPathValue, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(existing), &size) == ERROR_SUCCESS)
    return false;
  PathBuffer path;
  const DWORD length = ReadOwnPath(path);
  if (length == 0) return false;
  return RegSetValueExA(key.get(), kOriginalInstallerPathValue, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(path), length + 1) == ERROR_SUCCESS;
}

void RemoveOriginalInstallerPath() {
  RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kInstallerKeyPath, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
    return;
  RegDeleteValueA(key.get(), kOriginalInstallerPathValue);
}
