#include "host/registry_lookups.h"

#include <shlwapi.h>

#include <cstring>

#include "base/registry_key.h"
#include "base/string_ops.h"

namespace {
constexpr char kPreferencesSuffix[] = "\\Preferences";
constexpr char kInstallerSuffix[] = "\\Installer";

// Builds subkey + suffix in path; false when the whole path would not fit,
// so that no registry call sees a cut path.
bool BuildKeyPath(const char* subkey, const char* suffix, PathBuffer& path) {
  if (strlen(subkey) + strlen(suffix) >= kPathBufferSize) return false;
  path[0] = '\0';
  AppendBounded(path, subkey);
  return AppendBounded(path, suffix) < kPathBufferSize;
}
}  // namespace

bool IsRegKeyMissing(const char* subkey) {
  RegistryKey key;
  return !key.OpenForReading(HKEY_LOCAL_MACHINE, subkey);
}

bool ReadInstallPath(const char* subkey, const char* valueName,
                     PathBuffer& installPath) {
  RegistryKey key;
  if (!key.OpenForReading(HKEY_LOCAL_MACHINE, subkey)) return false;
  PathBuffer value;
  if (!QueryRegistryText(key.get(), valueName, value)) return false;
  // One spare byte: a 259-character value may be written to 261 bytes by
  // PathAddBackslashA, which is then caught by the length check below instead
  // of overrunning the install path.
  char path[kPathBufferSize + 1];
  memcpy(path, value, strlen(value) + 1);
  if (!PathAddBackslashA(path)) return false;
  // A path without its trailing backslash would join later file names wrongly.
  if (strlen(path) >= kPathBufferSize) return false;
  memcpy(installPath, path, strlen(path) + 1);
  return true;
}

bool ReadDisableMediaDetector(const char* subkey, DWORD* value) {
  PathBuffer path;
  if (!BuildKeyPath(subkey, kPreferencesSuffix, path)) return false;
  RegistryKey key;
  if (!key.OpenForReading(HKEY_CURRENT_USER, path)) return false;
  DWORD number = 0;
  DWORD type = REG_NONE;
  DWORD size = sizeof number;
  if (RegQueryValueExA(key.get(), "DisableMediaDetector", nullptr, &type,
                       reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return false;
  *value = number;
  return true;
}

bool ReadInstallerValue(const char* subkey, const char* valueName, PathBuffer& buffer) {
  PathBuffer path;
  RegistryKey key;
  if (!BuildKeyPath(subkey, kInstallerSuffix, path) ||
      !key.OpenForReading(HKEY_LOCAL_MACHINE, path) ||
      !QueryRegistryText(key.get(), valueName, buffer)) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

bool QueryRegistryText(HKEY key, const char* valueName, PathBuffer& buffer) {
  DWORD size = kPathBufferSize;
  if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS)
    return false;
  if (size > kPathBufferSize) return false;
  // The registry stores whatever bytes it was given: a string value need not
  // carry its terminator, and a binary one never does.
  if (memchr(buffer, '\0', size)) return true;
  if (size == kPathBufferSize) return false;
  buffer[size] = '\0';
  return true;
}
