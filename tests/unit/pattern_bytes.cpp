#include "pattern_bytes.h"

#include <cstdint>

std::string PatternBytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 0x12345678;
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<char>(x & 0xFF);
  }
  return bytes;
}
