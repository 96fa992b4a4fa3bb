#include "version_record.h"

#include <cstdint>

#include "byte_order.h"
#include "pe_resources.h"

namespace {

// VS_VERSIONINFO: wLength, wValueLength, wType, the key L"VS_VERSION_INFO"
// with its terminator (32 bytes), padding to 4, then VS_FIXEDFILEINFO.
constexpr size_t kKeyOffset = 6;
constexpr char kKey[] = "VS_VERSION_INFO";
constexpr size_t kFixedOffset = 40;
constexpr size_t kFixedSize = 52;
constexpr uint32_t kFixedSignature = 0xFEEF04BD;

std::string Numbers(uint32_t high, uint32_t low) {
  return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." +
         std::to_string(low >> 16) + "." + std::to_string(low & 0xFFFF);
}

}  // namespace

bool ReadVersionNumbers(const ResourceImage& image, VersionNumbers* numbers) {
  std::string record;
  if (image.Read("#16", "#1", &record) != ResourceRead::kFound) return false;
  if (!RangeFits(kFixedOffset, kFixedSize, record.size())) return false;
  if (ReadLe16(record, 2) < kFixedSize) return false;  // wValueLength
  for (size_t i = 0; i < sizeof kKey; ++i) {
    if (ReadLe16(record, kKeyOffset + 2 * i) != static_cast<unsigned char>(kKey[i])) return false;
  }
  if (ReadLe32(record, kFixedOffset) != kFixedSignature) return false;
  numbers->file = Numbers(ReadLe32(record, kFixedOffset + 8), ReadLe32(record, kFixedOffset + 12));
  numbers->product =
      Numbers(ReadLe32(record, kFixedOffset + 16), ReadLe32(record, kFixedOffset + 20));
  return true;
}

void PrintVersionLine(const ResourceImage& image, FILE* out) {
  VersionNumbers numbers;
  if (!ReadVersionNumbers(image, &numbers)) {
    fputs("version: none\n", out);
  } else if (numbers.product == numbers.file) {
    fprintf(out, "version: %s\n", numbers.file.c_str());
  } else {
    fprintf(out, "version: %s, product %s\n", numbers.file.c_str(), numbers.product.c_str());
  }
}
