#include "pe_checksum.h"

namespace {

uint32_t Word(const std::string& file, size_t at) {
  const uint32_t low = static_cast<unsigned char>(file[at]);
  const uint32_t high = at + 1 < file.size() ? static_cast<unsigned char>(file[at + 1]) : 0;
  return low | high << 8;
}

}  // namespace

uint32_t PeChecksum(const std::string& file, size_t checksumAt) {
  // A plain sum folded once at the end equals the sum folded at every step.
  uint64_t sum = 0;
  const size_t even = file.size() & ~static_cast<size_t>(1);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(file.data());
  for (size_t at = 0; at < even; at += 2)
    sum += bytes[at] | static_cast<uint32_t>(bytes[at + 1]) << 8;
  if (even != file.size()) sum += Word(file, even);
  // Take the field's bytes back out, wherever the words fall.
  for (size_t at = checksumAt & ~static_cast<size_t>(1); at < checksumAt + 4 && at < file.size();
       at += 2) {
    uint32_t word = Word(file, at);
    for (size_t byte = 0; byte < 2; ++byte) {
      if (at + byte >= checksumAt && at + byte < checksumAt + 4) word &= ~(0xFFu << (8 * byte));
    }
    sum -= Word(file, at) - word;
  }
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum) + static_cast<uint32_t>(file.size());
}
