#include "host/browser_search.h"

#include <cstring>

#include "base/registry_key.h"
#include "base/string_ops.h"

namespace {
constexpr char kMakerScope[] = "{3F2C91B4-7A0E-4D15-9C62-B8E41D07A5F3}";
constexpr char kMakerProvider[] = "krvx";

// Opens HKCU\keyPath and compares valueName, terminator included, with expected.
bool UserValueEquals(const char* keyPath, const char* valueName, const char* expected,
                     size_t expectedSize) {
  RegistryKey key;
  if (!key.OpenForReading(HKEY_CURRENT_USER, keyPath)) return false;
  PathBuffer value = {};
  return ReadRegString(key.get(), valueName, value) == ERROR_SUCCESS &&
         memcmp(value, expected, expectedSize) == 0;
}
}  // namespace

LONG ReadRegString(HKEY key, const char* valueName, PathBuffer& buffer) {
  DWORD size = sizeof buffer;
  return RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                          &size);
}

bool CheckBrowserSearch() {
  PathBuffer version = {};
  {
    RegistryKey key;
    if (!key.OpenForReading(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer") ||
        ReadRegString(key.get(), "Version", version) != ERROR_SUCCESS)
      return false;
  }
  if (version[0] == '7') {
    return UserValueEquals("Software\\Microsoft\\Internet Explorer\\SearchScopes", "DefaultScope",
                           kMakerScope, sizeof kMakerScope);
  }
  return UserValueEquals("Software\\Microsoft\\Internet Explorer\\SearchUrl", "provider",
                         kMakerProvider, sizeof kMakerProvider);
}
