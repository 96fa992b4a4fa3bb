#include "host/browser_search.h"

#include <cstring>

namespace {
constexpr char kMakerScope[] = "{3F2C91B4-7A0E-4D15-9C62-B8E41D07A5F3}";
constexpr char kMakerProvider[] = "krvx";

// Opens HKCU\keyPath and compares valueName, terminator included, with expected.
bool UserValueEquals(const char* keyPath, const char* valueName, const char* expected,
                     size_t expectedSize) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  char value[260] = {};
  const bool equal = ReadRegString(key, valueName, value) == ERROR_SUCCESS &&
                     memcmp(value, expected, expectedSize) == 0;
  RegCloseKey(key);
  return equal;
}
}  // namespace

LONG ReadRegString(HKEY key, const char* valueName, char* buffer) {
  DWORD size = 260;
  return RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                          &size);
}

bool CheckBrowserSearch() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", 0, KEY_READ,
                    &key) != ERROR_SUCCESS)
    return false;
  char version[260] = {};
  const LONG status = ReadRegString(key, "Version", version);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return false;
  if (version[0] == '7') {
    return UserValueEquals("Software\\Microsoft\\Internet Explorer\\SearchScopes", "DefaultScope",
                           kMakerScope, sizeof kMakerScope);
  }
  return UserValueEquals("Software\\Microsoft\\Internet Explorer\\SearchUrl", "provider",
                         kMakerProvider, sizeof kMakerProvider);
}
