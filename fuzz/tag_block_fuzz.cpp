// Fuzzes the installer tag readers with arbitrary files: the size query and
// the copy agree, the copy is what lies after "Qtag" or inside the signature
// blob, either lies inside the first certificate, and a buffer one byte too
// small is refused and left alone. libFuzzer hands over exactly size bytes, so the sanitizers
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
  FoundTag tag;
  Check(FindInstallerTag(data, size, &tag) && tag.length + 1 == static_cast<size_t>(needed),
        "the tag is found with its size");
  size_t certificate, end;
  Check(FindFirstCertificate(data, size, &certificate, &end), "the tag has a certificate");
  const uint32_t dwLength = static_cast<uint32_t>(
      data[certificate] | data[certificate + 1] << 8 | data[certificate + 2] << 16 |
      static_cast<uint32_t>(data[certificate + 3]) << 24);
  Check(end <= size && end - certificate <= dwLength,
        "the certificate ends within its dwLength and the file");
  Check(tag.data >= certificate + 8 && tag.data + tag.length <= end,
        "the data lies in the certificate, after its header");
  if (tag.form == TagForm::kAfterBlob) {
    TagBlockPlace place;
    Check(FindTagBlockPlace(data, size, &place) && place.block + kTagHeaderSize == tag.data,
          "the block has its place");
    Check(memcmp(data + place.block, "Qtag", 4) == 0, "the block begins with its magic");
  }

  std::vector<char> buffer(static_cast<size_t>(needed), '#');
  int32_t capacity = needed - 1;
  Check(!ExtractTagFromBytes(data, size, buffer.data(), &capacity), "one byte short is refused");
  Check(capacity == needed - 1 && buffer[0] == '#', "a refused copy writes nothing");
  capacity = needed;
  Check(ExtractTagFromBytes(data, size, buffer.data(), &capacity), "the copy succeeds");
  Check(capacity == needed && buffer[needed - 1] == '\0', "copied and terminated");
  Check(memcmp(buffer.data(), data + tag.data, needed - 1) == 0, "the copy is the tag's data");
  return 0;
}
