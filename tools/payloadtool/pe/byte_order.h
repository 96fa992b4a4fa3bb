#pragma once
#include <cstdint>
#include <string>

// Little-endian fields of a PE file held in a std::string. The caller has
// checked that the bytes lie inside the string.

inline uint8_t ByteAt(const std::string& bytes, size_t at) {
  return static_cast<uint8_t>(bytes[at]);
}

inline uint16_t ReadLe16(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(ByteAt(bytes, at) | ByteAt(bytes, at + 1) << 8);
}

inline uint32_t ReadLe32(const std::string& bytes, size_t at) {
  return static_cast<uint32_t>(ReadLe16(bytes, at)) | static_cast<uint32_t>(ReadLe16(bytes, at + 2))
                                                          << 16;
}

inline void WriteLe16(std::string* bytes, size_t at, uint16_t value) {
  (*bytes)[at] = static_cast<char>(value & 0xFF);
  (*bytes)[at + 1] = static_cast<char>(value >> 8);
}

inline void WriteLe32(std::string* bytes, size_t at, uint32_t value) {
  WriteLe16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
  WriteLe16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

// True when [offset, offset + length) lies inside size bytes; no sum can wrap.
inline bool RangeFits(uint64_t offset, uint64_t length, uint64_t size) {
  return offset <= size && length <= size - offset;
}

// value rounded up to a multiple of alignment (a power of two); false when
// the result does not fit in 32 bits.
inline bool AlignUp(uint64_t value, uint32_t alignment, uint32_t* aligned) {
  const uint64_t result = (value + alignment - 1) & ~static_cast<uint64_t>(alignment - 1);
  if (result > 0xFFFFFFFFu) return false;
  *aligned = static_cast<uint32_t>(result);
  return true;
}
