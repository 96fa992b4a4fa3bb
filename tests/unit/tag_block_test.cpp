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

// The bytes the reader walks: MZ, e_lfanew, "PE\0\0", the optional header's
// magic and directory count, entry 4, a certificate whose blob begins 0x30
// lengthForm L, and the block at T = (L + 18) & ~7.
struct TagFile {
  uint16_t magic = 0x10B;
  uint32_t peAt = 0x80;
  uint32_t directories = 16;
  uint32_t certificate = 0x200;  // the entry's value; the certificate lies there when in range
  unsigned char lengthForm = 0x82;
  uint32_t blobLength = 1000;
  std::string block = Block("campaign=spring");

  std::string Build() const {
    const size_t at = certificate < 0x1000 ? certificate : 0x200;
    const size_t tag = (blobLength + 18) & ~7u;
    std::string file(at + tag + block.size(), '\0');
    file.replace(0, 2, "MZ");
    PutLe(&file, 60, peAt, 4);
    if (peAt < 0x1000) {
      file.replace(peAt, 4, std::string("PE\0\0", 4));
      PutLe(&file, peAt + 24, magic, 2);
      const size_t directoriesAt = peAt + 24 + (magic == 0x20B ? 112 : 96);
      PutLe(&file, directoriesAt - 4, directories, 4);
      PutLe(&file, directoriesAt + 32, certificate, 4);
    }
    file[at + 8] = 0x30;
    file[at + 9] = static_cast<char>(lengthForm);
    PutLe(&file, at + 10, (blobLength >> 8) | (blobLength & 0xFF) << 8, 2);
    return file.replace(at + tag, block.size(), block);
  }
};

constexpr int32_t kQuery = INT32_MIN;  // the size query: a null buffer
const std::string k40(40, 'd');

struct Case {
  const char* what;
  void (*change)(TagFile*);
  int32_t capacity;
  bool found;
  int32_t size;      // *bufferSize afterwards
  std::string data;  // what a copy holds
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

const Case kCases[] = {
    {"query", [](TagFile*) {}, kQuery, true, 16, ""},
    {"copy", [](TagFile*) {}, 16, true, 16, "campaign=spring"},
    {"L 1005 gives T 1016 (18, not 19)", [](TagFile* f) { f->blobLength = 1005; }, 16, true, 16,
     "campaign=spring"},
    {"L 1006 gives T 1024", [](TagFile* f) { f->blobLength = 1006; }, 16, true, 16,
     "campaign=spring"},
    {"PE32+ keeps entry 4 16 bytes later", [](TagFile* f) { f->magic = 0x20B; }, 16, true, 16,
     "campaign=spring"},
    {"N 0: query", [](TagFile* f) { f->block = Block(""); }, kQuery, true, 1, ""},
    {"N 0: capacity 1", [](TagFile* f) { f->block = Block(""); }, 1, true, 1, ""},
    {"N 40: capacity 40", [](TagFile* f) { f->block = Block(k40); }, 40, false, 40, ""},
    {"N 40: capacity 41", [](TagFile* f) { f->block = Block(k40); }, 41, true, 41, k40},
    {"01 00 is 256", [](TagFile* f) { f->block = Block(std::string(256, 'x')); }, kQuery, true, 257,
     ""},
    {"negative capacity", [](TagFile*) {}, -5, false, -5, ""},
    {"magic in other case", [](TagFile* f) { f->block = Block("x", "QTAG"); }, kQuery, false, 0,
     ""},
    {"unsigned", [](TagFile* f) { f->certificate = 0; }, kQuery, false, 0, ""},
    {"blob length in one byte", [](TagFile* f) { f->lengthForm = 0x81; }, kQuery, false, 0, ""},
    {"blob length in short form", [](TagFile* f) { f->lengthForm = 0x7F; }, kQuery, false, 0, ""},
    {"unknown optional header", [](TagFile* f) { f->magic = 0x107; }, kQuery, false, 0, ""},
    {"only four directories", [](TagFile* f) { f->directories = 4; }, kQuery, false, 0, ""},
    {"PE offset past the end", [](TagFile* f) { f->peAt = 0x7FFFFFF0; }, kQuery, false, 0, ""},
    {"PE offset wraps", [](TagFile* f) { f->peAt = 0xFFFFFFFE; }, kQuery, false, 0, ""},
    {"certificate past the end", [](TagFile* f) { f->certificate = 0x100000; }, kQuery, false, 0,
     ""},
    {"certificate offset wraps", [](TagFile* f) { f->certificate = 0xFFFFFFFC; }, kQuery, false, 0,
     ""},
    {"T past the end", [](TagFile* f) { f->block.clear(); }, kQuery, false, 0, ""},
    {"N past the end", [](TagFile* f) { f->block = Block(k40).substr(0, 20); }, kQuery, false, 0,
     ""},
};

class ExtractTagTest : public testing::TestWithParam<Case> {};

TEST_P(ExtractTagTest, FindsTheBlockOrSaysFalse) {
  const Case& c = GetParam();
  TagFile shape;
  c.change(&shape);
  ExactBytes file(shape.Build());
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  const bool query = c.capacity == kQuery;
  int32_t size = query ? 0 : c.capacity;
  ExactBytes buffer(c.capacity > 0 ? static_cast<size_t>(c.capacity) : 1, '#');
  EXPECT_EQ(c.found,
            ExtractTagFromBytes(bytes, file.size(), query ? nullptr : buffer.data(), &size));
  EXPECT_EQ(c.size, size);
  if (c.found && !query) {
    EXPECT_EQ(c.data, std::string(buffer.data()));
  } else if (!c.found) {
    EXPECT_EQ(std::string(buffer.size(), '#'), buffer.str()) << "the buffer was written";
  }
  // No prefix of the file holds a whole block: every length is checked.
  for (size_t cut = 0; cut < file.size(); cut += cut < 1100 ? 1 : 97) {
    int32_t ignored = 0;
    EXPECT_FALSE(ExtractTagFromBytes(bytes, cut, nullptr, &ignored)) << "cut to " << cut;
  }
  EXPECT_FALSE(ExtractTagFromBytes(bytes, file.size(), buffer.data(), nullptr));
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtractTagTest, testing::ValuesIn(kCases));

}  // namespace
