#include "registry_guard.h"

#include <vector>

RegistryValueGuard::RegistryValueGuard(HKEY hive, std::string keyPath, std::string valueName)
    : hive_(hive), keyPath_(std::move(keyPath)), valueName_(std::move(valueName)) {
  HKEY key;
  if (RegOpenKeyExA(hive_, keyPath_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD size = 0;
  if (RegQueryValueExA(key, valueName_.c_str(), nullptr, &type_, nullptr, &size) ==
      ERROR_SUCCESS) {
    data_.resize(size);
    existed_ = RegQueryValueExA(key, valueName_.c_str(), nullptr, &type_, data_.data(), &size) ==
               ERROR_SUCCESS;
  }
  RegCloseKey(key);
}

RegistryValueGuard::~RegistryValueGuard() {
  if (existed_) {
    SetRegistryBytes(hive_, keyPath_, valueName_, type_, data_.data(),
                     static_cast<DWORD>(data_.size()));
  } else {
    DeleteRegistryValue(hive_, keyPath_, valueName_);
  }
}

LONG SetRegistryBytes(HKEY hive, const std::string& keyPath, const std::string& name, DWORD type,
                      const void* data, DWORD size) {
  HKEY key;
  LONG status = RegCreateKeyExA(hive, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status;
}

LONG SetRegistryString(HKEY hive, const std::string& keyPath, const std::string& name,
                       const std::string& value) {
  return SetRegistryBytes(hive, keyPath, name, REG_SZ, value.c_str(),
                          static_cast<DWORD>(value.size() + 1));
}

LONG SetRegistryDword(HKEY hive, const std::string& keyPath, const std::string& name, DWORD value) {
  return SetRegistryBytes(hive, keyPath, name, REG_DWORD, &value, sizeof value);
}

LONG DeleteRegistryValue(HKEY hive, const std::string& keyPath, const std::string& name) {
  HKEY key;
  LONG status = RegOpenKeyExA(hive, keyPath.c_str(), 0, KEY_WRITE, &key);
  if (status != ERROR_SUCCESS) return status;
  status = RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
  return status;
}

LONG DeleteRegistryTree(HKEY hive, const std::string& keyPath) {
  LONG status = RegDeleteTreeA(hive, keyPath.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

bool ReadRegistryString(HKEY hive, const std::string& keyPath, const std::string& name,
                        std::string* value) {
  HKEY key;
  if (RegOpenKeyExA(hive, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  bool ok = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
  std::vector<char> data(size + 1, '\0');  // the terminator, should the data lack one
  ok = ok && RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                              reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (ok) value->assign(data.data());
  return ok;
}
