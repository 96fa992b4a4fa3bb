#include "driver/startup_registry.h"

#include <windows.h>

#include <cstring>

bool ReadDebugSwitch() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  BYTE data[260] = {};
  DWORD size = sizeof data;
  const LONG status = RegQueryValueExA(key, "lumenodebug", nullptr, nullptr, data, &size);
  RegCloseKey(key);
  // The data must begin with '1' and NUL; its registry type is not examined.
  return status == ERROR_SUCCESS && data[0] == '1' && data[1] == '\0';
}

bool RecordOriginalInstallerPath() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallerKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  bool wrote = false;
  char existing[260];
  DWORD size = sizeof existing;
  if (RegQueryValueExA(key, kOriginalInstallerPathValue, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(existing), &size) != ERROR_SUCCESS) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    // A cut path would name another file: write only a whole one.
    if (length > 0 && length < sizeof path) {
      wrote = RegSetValueExA(key, kOriginalInstallerPathValue, 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(path), length + 1) == ERROR_SUCCESS;
    }
  }
  RegCloseKey(key);
  return wrote;
}

void RemoveOriginalInstallerPath() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallerKeyPath, 0, KEY_READ | KEY_WRITE, &key) !=
      ERROR_SUCCESS)
    return;
  RegDeleteValueA(key, kOriginalInstallerPathValue);
  RegCloseKey(key);
}
