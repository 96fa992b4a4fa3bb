#include "trust/tag_block.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_helpers.h"

namespace {

void PutLe(std::string* file, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) (*file)[at + i] = static_cast<char>(value >> (8 * i));
}

std::string Block(const std::string& data, const char* magic = "Qtag") {
  return std::string(magic, 4) + static_cast<char>(data.size() >> 8) +
         static_cast<char>(data.size() & 0xFF) + data;
}

// The bytes the tag reader walks: DOS and PE signatures, the optional
// header's magic and directory count, data directory entry 4, the first
// certificate with a blob header, and the block at the offset T.
struct TagFile {
  uint16_t magic = 0x10B;
  uint32_t peAt = 0x80;
  uint32_t directories = 16;
  uint32_t certificate = 0x200;  // written to entry 4; the certificate lies here when in range
  unsigned char lengthForm = 0x82;
  uint32_t blobLength = 1000;
  std::string block = Block("campaign=spring");
  size_t cutTo = 0;  // when non-zero, the file ends here

  size_t TagOffset() const { return (blobLength + 18) & ~7u; }
  std::string Build() const {
    const size_t certificateAt = certificate < 0x1000 ? certificate : 0x200;
    std::string file(certificateAt + TagOffset() + block.size(), '\0');
    file[0] = 'M';
    file[1] = 'Z';
    PutLe(&file, 60, peAt, 4);
    if (peAt < 0x1000) {
      file.replace(peAt, 4, std::string("PE\0\0", 4));
      PutLe(&file, peAt + 24, magic, 2);
      const size_t directoriesAt = peAt + 24 + (magic == 0x20B ? 112 : 96);
      PutLe(&file, directoriesAt - 4, directories, 4);
      PutLe(&file, directoriesAt + 8 * 4, certificate, 4);
    }
    if (certificate != 0) {
      file[certificateAt + 8] = 0x30;
      file[certificateAt + 9] = static_cast<char>(lengthForm);
      PutLe(&file, certificateAt + 10, (blobLength >> 8 & 0xFF) | (blobLength & 0xFF) << 8, 2);
      file.replace(certificateAt + TagOffset(), block.size(), block);
    }
    return cutTo ? file.substr(0, cutTo) : file;
  }
};

struct Case {
  const char* what;
  TagFile file;
  int32_t capacity;  // kQuery: the size query with a null buffer
  bool found;
  int32_t size;      // *bufferSize afterwards
  std::string data;  // the copied text when found with a buffer
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

TagFile With(void (*change)(TagFile*)) {
  TagFile file;
  change(&file);
  return file;
}

const std::string k40(40, 'd');
constexpr int32_t kQuery = INT32_MIN;

const Case kCases[] = {
    {"query", TagFile(), kQuery, true, 16, ""},
    {"copy", TagFile(), 16, true, 16, "campaign=spring"},
    {"empty data: query", With([](TagFile* f) { f->block = Block(""); }), kQuery, true, 1, ""},
    {"empty data: capacity 1", With([](TagFile* f) { f->block = Block(""); }), 1, true, 1, ""},
    {"40 bytes, capacity 40", With([](TagFile* f) { f->block = Block(k40); }), 40, false, 40, ""},
    {"40 bytes, capacity 41", With([](TagFile* f) { f->block = Block(k40); }), 41, true, 41, k40},
    {"negative capacity", TagFile(), -5, false, -5, ""},
    {"length 01 00 is 256", With([](TagFile* f) { f->block = Block(std::string(256, 'x')); }),
     kQuery, true, 257, ""},
    {"PE32+: entry 4 is 16 bytes later", With([](TagFile* f) { f->magic = 0x20B; }), 16, true, 16,
     "campaign=spring"},
    {"magic in other case", With([](TagFile* f) { f->block = Block("x", "QTAG"); }), kQuery, false,
     0, ""},
    {"unsigned", With([](TagFile* f) { f->certificate = 0; }), kQuery, false, 0, ""},
    {"blob length in one byte", With([](TagFile* f) { f->lengthForm = 0x81; }), kQuery, false, 0,
     ""},
    {"blob length in short form", With([](TagFile* f) { f->lengthForm = 0x7F; }), kQuery, false, 0,
     ""},
    {"unknown optional header", With([](TagFile* f) { f->magic = 0x107; }), kQuery, false, 0, ""},
    {"only four directories", With([](TagFile* f) { f->directories = 4; }), kQuery, false, 0, ""},
    {"PE offset past the end", With([](TagFile* f) { f->peAt = 0x7FFFFFF0; }), kQuery, false, 0,
     ""},
    {"PE offset wraps", With([](TagFile* f) { f->peAt = 0xFFFFFFFE; }), kQuery, false, 0, ""},
    {"certificate past the end", With([](TagFile* f) { f->certificate = 0x100000; }), kQuery, false,
     0, ""},
    {"certificate offset wraps", With([](TagFile* f) { f->certificate = 0xFFFFFFFC; }), kQuery,
     false, 0, ""},
    {"T past the end", With([](TagFile* f) { f->block.clear(); }), kQuery, false, 0, ""},
    {"N past the end", With([](TagFile* f) { f->block = Block(k40).substr(0, 20); }), kQuery, false,
     0, ""},
    {"blob length 0xFFFF: T past the end", With([](TagFile* f) {
       f->blobLength = 0xFFFF;
       f->cutTo = 0x400;
     }),
     kQuery, false, 0, ""},
};

class ExtractTagTest : public testing::TestWithParam<Case> {};

TEST_P(ExtractTagTest, FindsTheBlockOrSaysFalse) {
  const Case& c = GetParam();
  ExactBytes file(c.file.Build());
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  const bool query = c.capacity == kQuery;
  int32_t size = query ? 0 : c.capacity;
  ExactBytes buffer(c.capacity > 0 ? static_cast<size_t>(c.capacity) : 1, '#');
  const bool found =
      ExtractTagFromBytes(bytes, file.size(), query ? nullptr : buffer.data(), &size);
  EXPECT_EQ(c.found, found);
  EXPECT_EQ(c.size, size);
  if (c.found && !query) {
    EXPECT_EQ(c.data, std::string(buffer.data()));
  } else if (!c.found) {
    EXPECT_EQ(std::string(buffer.size(), '#'), buffer.str()) << "the buffer was written";
  }
  // No prefix of the file holds a complete block.
  for (size_t cut = 0; cut < file.size(); cut += cut < 1100 ? 1 : 97) {
    int32_t query = 0;
    EXPECT_FALSE(ExtractTagFromBytes(bytes, cut, nullptr, &query)) << "cut to " << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtractTagTest, testing::ValuesIn(kCases));

TEST(TagBlockPlace, OffsetIsBlobLengthPlus18RoundedDown) {
  const struct {
    uint32_t blobLength;
    size_t offset;
  } cases[] = {{1000, 1016}, {1004, 1016}, {1005, 1016}, {1006, 1024}, {0, 16}};
  for (const auto& c : cases) {
    TagFile shape;
    shape.blobLength = c.blobLength;
    const std::string file = shape.Build();
    TagBlockPlace place;
    ASSERT_TRUE(
        FindTagBlockPlace(reinterpret_cast<const unsigned char*>(file.data()), file.size(), &place))
        << c.blobLength;
    EXPECT_EQ(c.blobLength, place.blobLength);
    EXPECT_EQ(c.offset, place.block - place.certificate) << "L = " << c.blobLength;
  }
}

TEST(ExtractTag, NullSizeOrFileIsFalse) {
  const std::string file = TagFile().Build();
  char buffer[64];
  EXPECT_FALSE(ExtractTagFromBytes(reinterpret_cast<const unsigned char*>(file.data()), file.size(),
                                   buffer, nullptr));
  int32_t size = 64;
  EXPECT_FALSE(ExtractTagFromBytes(nullptr, 0, buffer, &size));
}

}  // namespace
