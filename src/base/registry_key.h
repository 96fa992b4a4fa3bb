#pragma once
#include <windows.h>

// Closes a registry key when it goes out of scope; holds nothing until Open
// succeeds.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens path under hive for reading; false when it cannot be opened (missing
  // or access denied alike).
  bool OpenForReading(HKEY hive, const char* path) {
    return RegOpenKeyExA(hive, path, 0, KEY_READ, &key_) == ERROR_SUCCESS;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};
