#include "driver/startup_registry.h"

#include <windows.h>

#include <cstring>

#include "base/registry_key.h"
#include "base/string_ops.h"
#include "files/path_directories.h"

bool ReadDebugSwitch() {
  RegistryKey key;
  if (!key.OpenForReading(HKEY_LOCAL_MACHINE, "SOFTWARE")) return false;
  BYTE data[kPathBufferSize] = {};
  DWORD size = sizeof data;
  const LONG status = RegQueryValueExA(key.get(), "lumenodebug", nullptr, nullptr, data, &size);
  // The data itself must begin with '1' and its NUL: a one-byte "1" stored
  // without a terminator is not the string "1", although the zeroed buffer
  // would supply the second byte. The registry type is not examined.
  return status == ERROR_SUCCESS && size >= 2 && data[0] == '1' && data[1] == '\0';
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
