#include "trust/tag_block.h"

#include "trust/signed_data_tag.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A DER element; extra is added to the length written (a length past the
// element's holder); form 0x84 writes every length in four bytes.
std::string Der(unsigned char tag, const std::string& content, int extra = 0, int form = 0) {
  const size_t length = content.size() + extra;
  std::string header(1, static_cast<char>(tag));
  if (form == 0 && length < 0x80) return header + static_cast<char>(length) + content;
  const int bytes = form ? form - 0x80 : length > 0xFFFF ? 3 : length > 0xFF ? 2 : 1;
  header += static_cast<char>(0x80 + bytes);
  for (int i = bytes - 1; i >= 0; --i) header += static_cast<char>(i < 4 ? length >> (8 * i) : 0);
  return header + content;
}

// A signature blob whose certificates set holds the tag certificate, each
// part changeable by a case. The defaults make a sound tag "campaign=autumn".
struct InBlob {
  std::string data = "campaign=autumn";
  std::string oid{reinterpret_cast<const char*>(kTagExtensionOid), sizeof kTagExtensionOid};
  bool ownValue = false;  // the extension after its OID is value, not OCTET STRING { OCTET STRING data }
  std::string value;
  int dataExtra = 0, certificateExtra = 0, setExtra = 0, form = 0;
  size_t signerFiller = 300;
  bool wrapCertificate = false, wrapExtension = false, noSet = false, otherKindFirst = false;
  unsigned char contentTag = 0xA0;

  std::string D(unsigned char tag, const std::string& content, int extra = 0) const {
    return Der(tag, content, extra, form);
  }
  std::string Certificate(const std::string& extensions, int extra = 0) const {
    const std::string algorithm = D(0x30, D(0x06, "\x2A\x86\x48\xCE\x3D\x04\x03\x02"));
    const std::string tbs = D(0xA0, D(0x02, "\x02")) + D(0x02, "\x07") + algorithm +
                            D(0x30, "issuer") + D(0x30, "validity") + D(0x30, "subject") +
                            D(0x30, "key") + D(0xA3, extensions);
    return D(0x30, D(0x30, tbs) + algorithm + D(0x03, std::string("\0sig", 4)), extra);
  }
  std::string Blob() const {
    std::string extension =
        D(0x30, D(0x06, oid) + (ownValue ? value : D(0x04, D(0x04, data, dataExtra))));
    if (wrapExtension) extension = D(0x30, extension);
    const std::string basic = D(0x30, D(0x06, "\x55\x1D\x13") + D(0x04, D(0x30, "")));
    std::string tagCertificate = Certificate(D(0x30, basic + extension), certificateExtra);
    if (wrapCertificate) tagCertificate = D(0x30, tagCertificate);
    const std::string set = (otherKindFirst ? D(0xA1, "attribute certificate") : "") +
                            Certificate(D(0x30, basic)) + D(0x04, std::string(signerFiller, 's')) +
                            tagCertificate;
    const std::string signedData = D(0x02, "\x01") + D(0x31, D(0x30, "sha256")) +
                                   D(0x30, "indirect data") +
                                   (noSet ? "" : D(0xA0, set, setExtra)) +
                                   D(0x31, D(0x30, "signer info"));
    return D(0x30, D(0x06, "\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02") +
                       D(contentTag, D(0x30, signedData)));
  }
};

constexpr uint32_t kToTheEnd = 0xFFFFFFFF;  // a size that ends with the file

// The bytes the reader walks: MZ, e_lfanew, "PE\0\0", the optional header's
// magic and directory count, entry 4 (offset and size), a certificate with
// its dwLength whose blob begins 0x30 lengthForm L, and the block at
// T = (L + 18) & ~7.
struct TagFile {
  std::string blob;  // when set, the whole signature blob (and blobLength is its content's)
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
    std::string file(std::max(at + tag + block.size(), (at + 8 + blob.size() + 7) & ~size_t{7}),
                     '\0');
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
    file.replace(at + 8, blob.size(), blob);
    return file.replace(at + tag, block.size(), block);
  }
};

// The file carries blob and no block after it.
void Put(TagFile* file, const InBlob& blob) {
  file->blob = blob.Blob();
  file->block.clear();
}

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

// The case's file read with capacity (kQuery: the size query): found or not,
// the size and the data afterwards, and no prefix up to whole that holds a
// tag: every length is checked.
void ExpectRead(const TagFile& shape, int32_t capacity, bool found, int32_t expectedSize,
                const std::string& data) {
  ExactBytes file(shape.Build());
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  const bool query = capacity == kQuery;
  int32_t size = query ? 0 : capacity;
  ExactBytes buffer(capacity > 0 ? static_cast<size_t>(capacity) : 1, '#');
  EXPECT_EQ(found, ExtractTagFromBytes(bytes, file.size(), query ? nullptr : buffer.data(), &size));
  EXPECT_EQ(expectedSize, size);
  if (found && !query) {
    EXPECT_EQ(data, std::string(buffer.data()));
  } else if (!found) {
    EXPECT_EQ(std::string(buffer.size(), '#'), buffer.str()) << "the buffer was written";
  }
  // A blob holding a tag may end before the file does.
  const size_t whole = shape.block.empty() ? 0x200 + 8 + shape.blob.size() : file.size();
  for (size_t cut = 0; cut < whole; cut += cut < 1100 ? 1 : 97) {
    int32_t ignored = 0;
    EXPECT_FALSE(ExtractTagFromBytes(bytes, cut, nullptr, &ignored)) << "cut to " << cut;
  }
  EXPECT_FALSE(ExtractTagFromBytes(bytes, file.size(), buffer.data(), nullptr));
}

TEST_P(ExtractTagTest, FindsTheBlockOrSaysFalse) {
  const Case& c = GetParam();
  TagFile shape;
  c.change(&shape);
  ExpectRead(shape, c.capacity, c.found, c.size, c.data);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtractTagTest, testing::ValuesIn(kCases));

// The tag inside the signature blob, read only where the path leads; file
// changes what lies around the blob, data (when set) is the tag expected.
struct InBlobCase {
  const char* what;
  void (*blob)(InBlob*);
  bool found;
  void (*file)(TagFile*);
  const char* data;
};
void PrintTo(const InBlobCase& c, std::ostream* os) { *os << c.what; }

const std::string kSoundValue = Der(0x04, Der(0x04, "campaign=autumn"));
void Value(InBlob* b, const std::string& value) {
  b->ownValue = true;
  b->value = value;
}

const InBlobCase kInBlobCases[] = {
    {"sound", [](InBlob*) {}, true},
    {"every length in four bytes", [](InBlob* b) { b->form = 0x84; }, true},
    {"a length in five bytes", [](InBlob* b) { b->form = 0x85; }, false},
    {"65535 bytes", [](InBlob* b) { b->data.assign(65535, 'd'); }, true},
    {"65536 bytes", [](InBlob* b) { b->data.assign(65536, 'd'); }, false},
    {"marked critical", [](InBlob* b) { Value(b, Der(0x01, "\xFF") + kSoundValue); }, true},
    {"after a certificate of another kind", [](InBlob* b) { b->otherKindFirst = true; }, true},
    {"the blob fills its certificate", [](InBlob*) {}, true,
     [](TagFile* f) { f->certificateLength = static_cast<uint32_t>(8 + f->blob.size()); }},
    {"the blob ends past its certificate", [](InBlob*) {}, false,
     [](TagFile* f) { f->certificateLength = static_cast<uint32_t>(8 + f->blob.size() - 1); }},
    {"the blob ends past the table", [](InBlob*) {}, false,
     [](TagFile* f) { f->tableSize = static_cast<uint32_t>(8 + f->blob.size() - 1); }},
    {"the data's length past its value", [](InBlob* b) { b->dataExtra = 1; }, false},
    {"a truncated certificate (past its set)", [](InBlob* b) { b->certificateExtra = 1; }, false},
    // 16: one past the signer infos that follow the set in the SignedData.
    {"the set's length past the SignedData", [](InBlob* b) { b->setExtra = 16; }, false},
    {"the OID without a value", [](InBlob* b) { Value(b, ""); }, false},
    {"a value that is no OCTET STRING", [](InBlob* b) { Value(b, Der(0x0C, b->data)); }, false},
    {"data in a constructed string",
     [](InBlob* b) { Value(b, Der(0x04, Der(0x24, Der(0x04, b->data)))); }, false},
    {"bytes after the data",
     [](InBlob* b) { Value(b, Der(0x04, Der(0x04, b->data) + Der(0x05, ""))); }, false},
    {"the certificate one level deeper", [](InBlob* b) { b->wrapCertificate = true; }, false},
    {"the extension one level deeper", [](InBlob* b) { b->wrapExtension = true; }, false},
    {"another OID", [](InBlob* b) { b->oid.back() ^= 1; }, false},
    {"no certificates set", [](InBlob* b) { b->noSet = true; }, false},
    {"content other than [0]", [](InBlob* b) { b->contentTag = 0xA1; }, false},
    // Both forms: the block after the blob is read first, and a damaged one
    // hides the certificate.
    {"both forms: the block after the blob wins", [](InBlob*) {}, true,
     [](TagFile* f) {
       f->blobLength = static_cast<uint32_t>(f->blob.size() - 4);
       f->block = Block("campaign=spring");
     },
     "campaign=spring"},
    {"both forms: a damaged block after the blob", [](InBlob*) {}, false,
     [](TagFile* f) {
       f->blobLength = static_cast<uint32_t>(f->blob.size() - 4);
       f->block = Block(k40).substr(0, 20);
     }},
};

class InBlobTest : public testing::TestWithParam<InBlobCase> {};

// With a buffer that fits, then one byte short, then the size query.
TEST_P(InBlobTest, FindsTheCertificateOrSaysFalse) {
  const InBlobCase& c = GetParam();
  InBlob blob;
  c.blob(&blob);
  TagFile shape;
  Put(&shape, blob);
  if (c.file) c.file(&shape);
  const std::string data = c.data ? c.data : blob.data;
  const int32_t needed = static_cast<int32_t>(data.size()) + 1;
  ExpectRead(shape, needed, c.found, needed, data);
  if (!c.found) return;
  ExpectRead(shape, needed - 1, false, needed - 1, "");
  ExpectRead(shape, kQuery, true, needed, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, InBlobTest, testing::ValuesIn(kInBlobCases));

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
