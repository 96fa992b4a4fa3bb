// Fuzzes the installer tag-block parser with arbitrary files: the size query
// and the copy agree, the copy is what lies after "Qtag", the block lies
// inside the first certificate, and a buffer one byte too small is refused
// and left alone. libFuzzer hands over exactly size bytes, so the sanitizers
// catch any read beyond them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "trust/tag_block.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int32_t needed = -7;
  if (!ExtractTagFromBytes(data, size, nullptr, &needed)) {
    Check(needed == -7, "a failed query leaves the size alone");
    return 0;
  }
  Check(needed >= 1 && needed <= static_cast<int32_t>(kTagMaxData) + 1, "size in range");
  TagBlockPlace place;
  Check(FindTagBlockPlace(data, size, &place), "the block has a place");
  const uint32_t dwLength = static_cast<uint32_t>(
      data[place.certificate] | data[place.certificate + 1] << 8 |
      data[place.certificate + 2] << 16 | static_cast<uint32_t>(data[place.certificate + 3]) << 24);
  Check(place.end <= size && place.end - place.certificate <= dwLength,
        "the certificate ends within its dwLength and the file");
  Check(place.block + kTagHeaderSize + needed - 1 <= place.end, "the data lies in the certificate");
  Check(memcmp(data + place.block, "Qtag", 4) == 0, "the block begins with its magic");

  std::vector<char> buffer(static_cast<size_t>(needed), '#');
  int32_t capacity = needed - 1;
  Check(!ExtractTagFromBytes(data, size, buffer.data(), &capacity), "one byte short is refused");
  Check(capacity == needed - 1 && buffer[0] == '#', "a refused copy writes nothing");
  capacity = needed;
  Check(ExtractTagFromBytes(data, size, buffer.data(), &capacity), "the copy succeeds");
  Check(capacity == needed && buffer[needed - 1] == '\0', "copied and terminated");
  Check(memcmp(buffer.data(), data + place.block + kTagHeaderSize, needed - 1) == 0,
        "the copy is the block's data");
  return 0;
}
