#include "trust/tag_block.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kSignatureOffsetAt = 60;  // e_lfanew
constexpr size_t kOptionalHeaderAt = 24;   // from "PE\0\0"
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe64 = 0x20B;
constexpr size_t kCertificateEntry = 4;
constexpr unsigned char kTagMagic[kTagMagicSize] = {'Q', 't', 'a', 'g'};

// True when [offset, offset + length) lies within size bytes.
bool Fits(size_t offset, size_t length, size_t size) {
  return offset <= size && length <= size - offset;
}

uint32_t Le16(const unsigned char* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }
uint32_t Le32(const unsigned char* p) { return Le16(p) | Le16(p + 2) << 16; }
uint32_t Be16(const unsigned char* p) { return static_cast<uint32_t>(p[0] << 8 | p[1]); }

}  // namespace

bool FindTagBlockPlace(const unsigned char* file, size_t size, TagBlockPlace* place) {
  if (!Fits(0, kSignatureOffsetAt + 4, size) || file[0] != 'M' || file[1] != 'Z') return false;
  const size_t pe = Le32(file + kSignatureOffsetAt);
  if (!Fits(pe, 4, size) || memcmp(file + pe, "PE\0\0", 4) != 0) return false;
  // The data directory follows the optional header's fixed fields, which are
  // 16 bytes longer in PE32+ (64-bit stack, heap and image-base fields).
  if (!Fits(pe, kOptionalHeaderAt + 2, size)) return false;
  const uint32_t magic = Le16(file + pe + kOptionalHeaderAt);
  if (magic != kMagicPe32 && magic != kMagicPe64) return false;
  const size_t directory = pe + kOptionalHeaderAt + (magic == kMagicPe32 ? 96 : 112);
  if (!Fits(directory - 4, 4, size) || Le32(file + directory - 4) <= kCertificateEntry)
    return false;
  const size_t entryAt = directory + 8 * kCertificateEntry;
  if (!Fits(entryAt, 8, size)) return false;
  const size_t certificate = Le32(file + entryAt);
  if (certificate == 0 || !Fits(certificate, 4, size)) return false;
  // The certificate's own bytes: its length, cut to the table and the file.
  const size_t length =
      std::min<size_t>({Le32(file + certificate), Le32(file + entryAt + 4), size - certificate});
  if (length < 12) return false;
  if (file[certificate + 8] != 0x30 || file[certificate + 9] != 0x82) return false;
  const size_t blobLength = Be16(file + certificate + 10);
  const size_t offset = (blobLength + 18) & ~static_cast<size_t>(7);
  if (offset > length) return false;
  place->certificate = certificate;
  place->blobLength = blobLength;
  place->block = certificate + offset;
  place->end = certificate + length;
  return true;
}

bool ParseTagBlock(const unsigned char* file, size_t size, size_t position, char* buffer,
                   int32_t* bufferSize) {
  if (!Fits(position, kTagHeaderSize, size) ||
      memcmp(file + position, kTagMagic, kTagMagicSize) != 0)
    return false;
  const uint32_t length = Be16(file + position + kTagMagicSize);
  if (!Fits(position + kTagHeaderSize, length, size)) return false;
  const int32_t needed = static_cast<int32_t>(length) + 1;
  if (!buffer) {
    *bufferSize = needed;
    return true;
  }
  if (*bufferSize < needed) return false;
  memcpy(buffer, file + position + kTagHeaderSize, length);
  buffer[length] = '\0';
  return true;
}

bool ExtractTagFromBytes(const unsigned char* file, size_t size, char* buffer,
                         int32_t* bufferSize) {
  if (!bufferSize || !file) return false;
  TagBlockPlace place;
  return FindTagBlockPlace(file, size, &place) &&
         ParseTagBlock(file, place.end, place.block, buffer, bufferSize);
}
