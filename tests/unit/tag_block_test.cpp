#include "trust/tag_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
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

constexpr uint32_t kToTheEnd = 0xFFFFFFFF;  // a size that ends with the file

// The bytes the reader walks: MZ, e_lfanew, "PE\0\0", the optional header's
// magic and directory count, entry 4 (offset and size), a certificate with
// its dwLength whose blob begins 0x30 lengthForm L, and the block at
// T = (L + 18) & ~7.
struct TagFile {
  uint16_t magic = 0x10B;
  uint32_t peAt = 0x80;
  uint32_t directories = 16;
  uint32_t certificate = 0x200;  // the entry's value; the certificate lies there when in range
  unsigned char lengthForm = 0x82;
  uint32_t blobLength = 1000;
  std::string block = Block("campaign=spring");
  uint32_t tableSize = kToTheEnd;          // entry 4's size, from the certificate on
  uint32_t certificateLength = kToTheEnd;  // its dwLength

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
      const uint32_t toTheEnd = static_cast<uint32_t>(file.size() - at);
      PutLe(&file, directoriesAt + 36, tableSize == kToTheEnd ? toTheEnd : tableSize, 4);
    }
    PutLe(&file, at, certificateLength == kToTheEnd ? file.size() - at : certificateLength, 4);
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
    // The block lies inside the first certificate and the table, or is none.
    {"table of size 0", [](TagFile* f) { f->tableSize = 0; }, kQuery, false, 0, ""},
    {"certificate of 12 bytes", [](TagFile* f) { f->certificateLength = 12; }, kQuery, false, 0,
     ""},
    {"certificate ends in the data", [](TagFile* f) { f->certificateLength = 1016 + 6 + 14; },
     kQuery, false, 0, ""},
    {"table ends in the data", [](TagFile* f) { f->tableSize = 1016 + 6 + 14; }, kQuery, false, 0,
     ""},
    {"certificate ends with the data", [](TagFile* f) { f->certificateLength = 1016 + 6 + 15; }, 16,
     true, 16, "campaign=spring"},
    {"certificate longer than the table", [](TagFile* f) { f->certificateLength = 0x7FFFFFFF; }, 16,
     true, 16, "campaign=spring"},
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

// The tagged seed, and the same with a certificate table of size 0 and a
// first certificate of 12 bytes: the block beyond both is no tag.
TEST(ExtractTag, ProgramsOfTheFuzzInputs) {
  const struct {
    const char* file;
    bool found;
    const char* data;
  } cases[] = {
      {"/corpus/tag_block/tagged_pe32.exe", true, "campaign=seed&source=pe32"},
      {"/regressions/tag_block/tag_outside_cert.exe", false, ""},
  };
  for (const auto& c : cases) {
    std::ifstream in(std::string(FUZZ_INPUTS_DIR) + c.file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(18408u, bytes.size()) << c.file;
    char buffer[64];
    memset(buffer, '#', sizeof buffer);
    int32_t size = sizeof buffer;
    EXPECT_EQ(c.found, ExtractTagFromBytes(reinterpret_cast<const unsigned char*>(bytes.data()),
                                           bytes.size(), buffer, &size))
        << c.file;
    EXPECT_EQ(c.data, c.found ? std::string(buffer) : std::string()) << c.file;
    EXPECT_EQ(c.found ? '\0' : '#', buffer[strlen(c.data)]) << c.file;
  }
}

}  // namespace
