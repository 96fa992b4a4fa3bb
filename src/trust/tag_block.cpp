#include "trust/tag_block.h"

#include <algorithm>
#include <cstring>

#include "trust/signed_data_tag.h"

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

// The data with a NUL, or with a null buffer the capacity that needs.
bool GiveOut(const unsigned char* data, size_t length, char* buffer, int32_t* bufferSize) {
  const int32_t needed = static_cast<int32_t>(length) + 1;
  if (!buffer) {
    *bufferSize = needed;
    return true;
  }
  if (*bufferSize < needed) return false;
  memcpy(buffer, data, length);
  buffer[length] = '\0';
  return true;
}

// The block's place after the blob of the certificate at place->certificate,
// whose bytes end at place->end.
bool PlaceAfterBlob(const unsigned char* file, TagBlockPlace* place) {
  const unsigned char* blob = file + place->certificate + 8;
  if (blob[0] != 0x30 || blob[1] != 0x82) return false;
  place->blobLength = Be16(blob + 2);
  const size_t offset = (place->blobLength + 18) & ~static_cast<size_t>(7);
  if (offset > place->end - place->certificate) return false;
  place->block = place->certificate + offset;
  return true;
}

}  // namespace

bool FindFirstCertificate(const unsigned char* file, size_t size, size_t* certificate,
                          size_t* end) {
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
  const size_t at = Le32(file + entryAt);
  if (at == 0 || !Fits(at, 4, size)) return false;
  // The certificate's own bytes: its length, cut to the table and the file.
  const size_t length =
      std::min<size_t>({Le32(file + at), Le32(file + entryAt + 4), size - at});
  if (length < 12) return false;
  *certificate = at;
  *end = at + length;
  return true;
}

bool FindTagBlockPlace(const unsigned char* file, size_t size, TagBlockPlace* place) {
  return FindFirstCertificate(file, size, &place->certificate, &place->end) &&
         PlaceAfterBlob(file, place);
}

bool ParseTagBlock(const unsigned char* file, size_t size, size_t position, char* buffer,
                   int32_t* bufferSize) {
  if (!Fits(position, kTagHeaderSize, size) ||
      memcmp(file + position, kTagMagic, kTagMagicSize) != 0)
    return false;
  const uint32_t length = Be16(file + position + kTagMagicSize);
  if (!Fits(position + kTagHeaderSize, length, size)) return false;
  return GiveOut(file + position + kTagHeaderSize, length, buffer, bufferSize);
}

bool FindInstallerTag(const unsigned char* file, size_t size, FoundTag* tag) {
  TagBlockPlace place;
  if (!FindFirstCertificate(file, size, &place.certificate, &place.end)) return false;
  if (PlaceAfterBlob(file, &place) && Fits(place.block, kTagMagicSize, place.end) &&
      memcmp(file + place.block, kTagMagic, kTagMagicSize) == 0) {
    tag->form = TagForm::kAfterBlob;
    tag->data = place.block + kTagHeaderSize;
    if (!Fits(place.block, kTagHeaderSize, place.end)) return false;
    tag->length = Be16(file + place.block + kTagMagicSize);
    return Fits(tag->data, tag->length, place.end);
  }
  SignedDataTag inBlob;
  if (!FindSignedDataTag(file, place.certificate + 8, place.end, &inBlob) || !inBlob.found)
    return false;
  tag->form = TagForm::kInSignature;
  tag->data = inBlob.data;
  tag->length = inBlob.length;
  return true;
}

bool ExtractTagFromBytes(const unsigned char* file, size_t size, char* buffer,
                         int32_t* bufferSize) {
  FoundTag tag;
  if (!bufferSize || !file || !FindInstallerTag(file, size, &tag)) return false;
  return GiveOut(file + tag.data, tag.length, buffer, bufferSize);
}
