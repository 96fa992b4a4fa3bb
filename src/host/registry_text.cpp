#include "host/registry_text.h"

#include <cstring>

#include "base/string_ops.h"

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
