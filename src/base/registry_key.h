#pragma once
#include <windows.h>

// Owns one open registry key and closes it when it goes out of scope; holds
// nothing until an Open or Create succeeds.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { Close(); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens path under hive with the given access; returns the registry status
  // (ERROR_SUCCESS when it is open).
  LONG Open(HKEY hive, const char* path, REGSAM access) {
    Close();
    return Opened(RegOpenKeyExA(hive, path, 0, access, &key_));
  }
  // Opens path under hive for reading; false when it cannot be opened (missing
  // or access denied alike).
  bool OpenForReading(HKEY hive, const char* path) {
    return Open(hive, path, KEY_READ) == ERROR_SUCCESS;
  }
  // Creates path under hive (non-volatile), or opens it when it exists;
  // returns the registry status.
  LONG Create(HKEY hive, const char* path, REGSAM access) {
    Close();
    return Opened(RegCreateKeyExA(hive, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                  nullptr, &key_, nullptr));
  }
  // Closes the key now; returns the registry status (ERROR_SUCCESS also when
  // none was open).
  LONG Close() {
    HKEY key = key_;
    key_ = nullptr;
    return key ? RegCloseKey(key) : ERROR_SUCCESS;
  }

  HKEY get() const { return key_; }
  bool open() const { return key_ != nullptr; }

 private:
  // A failed call may leave anything in its output.
  LONG Opened(LONG status) {
    if (status != ERROR_SUCCESS) key_ = nullptr;
    return status;
  }

  HKEY key_ = nullptr;
};
