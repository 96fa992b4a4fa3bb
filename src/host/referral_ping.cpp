#include "host/referral_ping.h"

#include <windows.h>

#include <cstring>

#include "base/registry_key.h"

int SetReferralPing(const char* text) {
  RegistryKey key;
  if (key.Create(HKEY_CURRENT_USER, kReferralPingKey, KEY_ALL_ACCESS) != ERROR_SUCCESS) return 1;
  const DWORD size = static_cast<DWORD>(strlen(text) + 1);
  if (RegSetValueExA(key.get(), kReferralPingValue, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(text), size) != ERROR_SUCCESS)
    return 1;
  return key.Close() == ERROR_SUCCESS ? 0 : 1;
}
