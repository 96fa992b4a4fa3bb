#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Saves one registry value (or its absence) and puts it back when destroyed,
// so that tests touching fixed names leave the prefix as they found it.
class RegistryValueGuard {
 public:
  RegistryValueGuard(HKEY hive, std::string keyPath, std::string valueName);
  ~RegistryValueGuard();
  RegistryValueGuard(const RegistryValueGuard&) = delete;
  RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

 private:
  HKEY hive_;
  std::string keyPath_;
  std::string valueName_;
  bool existed_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> data_;
};

// Small registry helpers for setting up tests; each returns the registry status.
LONG SetRegistryString(HKEY hive, const std::string& keyPath, const std::string& name,
                       const std::string& value);
LONG SetRegistryDword(HKEY hive, const std::string& keyPath, const std::string& name, DWORD value);
LONG SetRegistryBytes(HKEY hive, const std::string& keyPath, const std::string& name, DWORD type,
                      const void* data, DWORD size);
LONG DeleteRegistryValue(HKEY hive, const std::string& keyPath, const std::string& name);
// Deletes a key with all its subkeys (a missing key counts as deleted).
LONG DeleteRegistryTree(HKEY hive, const std::string& keyPath);

// Reads a value as a string; false when it is missing.
bool ReadRegistryString(HKEY hive, const std::string& keyPath, const std::string& name,
                        std::string* value);
