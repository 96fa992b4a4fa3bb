#include "certificate_tag.h"

#include <algorithm>

#include "byte_order.h"
#include "pe_checksum.h"
#include "pe_headers.h"
#include "trust/signed_data_tag.h"

namespace {

constexpr size_t kCertificateHeaderSize = 8;  // dwLength, wRevision, wCertificateType
constexpr size_t kBlobAt = kCertificateHeaderSize;
constexpr char kNotTwoByteForm[] =
    "the signature blob's length is not in the two-byte form (0x30 0x82): "
    "the program cannot read a tag after it";

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

size_t Align8(size_t value) { return (value + 7) & ~static_cast<size_t>(7); }

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

// The first certificate of a signed program.
struct Certificate {
  uint32_t tableOffset = 0;
  uint32_t tableSize = 0;
  size_t length = 0;       // dwLength
  size_t blobEnd = 0;      // from the certificate's start
  size_t tableSizeAt = 0;  // header fields that change
  size_t checkSumAt = 0;
};

bool FindCertificate(const std::string& program, Certificate* found, std::string* error) {
  PeHeaders headers;
  if (!ReadPeHeaders(program, &headers, error)) return false;
  const PeDirectory table = headers.Directory(kDirectoryCertificates);
  if (table.address == 0 || table.size == 0)
    return Fail(error, "not signed (no certificate table): sign it first, then tag it");
  if (!RangeFits(table.address, table.size, program.size()))
    return Fail(error, "the certificate table lies past the end of the file (truncated?)");
  if (uint64_t{table.address} + table.size != program.size())
    return Fail(error, "the certificate table is not at the end of the file");
  // The table changes size: what lies before it must not be part of it.
  uint64_t sectionsEnd = headers.sizeOfHeaders;
  for (const PeSection& section : headers.sections)
    sectionsEnd = std::max(sectionsEnd, section.RawEnd());
  if (table.address < sectionsEnd)
    return Fail(error, "the certificate table overlaps the program's headers or sections");
  found->tableOffset = table.address;
  found->tableSize = table.size;
  found->tableSizeAt = headers.DirectoryAt(kDirectoryCertificates) + 4;
  found->checkSumAt = headers.CheckSumAt();
  if (table.size < kBlobAt + 4) return Fail(error, "the certificate table is too short");
  found->length = ReadLe32(program, table.address);
  if (found->length < kBlobAt + 4 || found->length > table.size)
    return Fail(error, "the first certificate's length does not fit its table");
  DerElement blob;
  if (!ReadDerElement(Bytes(program), table.address + kBlobAt, table.address + found->length,
                      &blob) ||
      blob.tag != 0x30)
    return Fail(error, "the signature blob is not a DER sequence that ends within its certificate");
  found->blobEnd = blob.end - table.address;
  return true;
}

// T, where the program reads a block after a blob of these bytes; false with
// a reason when the blob cannot take one.
bool BlockOffset(const std::string& blob, size_t* offset, std::string* error) {
  if (ByteAt(blob, 0) != 0x30 || ByteAt(blob, 1) != 0x82) return Fail(error, kNotTwoByteForm);
  const size_t blobLength = ByteAt(blob, 2) << 8 | ByteAt(blob, 3);
  *offset = (blobLength + 18) & ~static_cast<size_t>(7);
  // When L + 12 is 1 less than a multiple of 8 the program looks one byte too early.
  if (*offset < kBlobAt + blob.size())
    return Fail(error, "the signature blob (" + std::to_string(blobLength) +
                           " bytes) ends one byte after the place the program reads a tag from: "
                           "sign it again so that the blob's length changes (for example with a "
                           "description of another length), then tag it");
  return true;
}

std::string DerHeader(unsigned char tag, size_t length) {
  std::string header(1, static_cast<char>(tag));
  if (length < 0x80) return header + static_cast<char>(length);
  std::string digits;
  for (size_t rest = length; rest > 0; rest >>= 8) digits.insert(0, 1, static_cast<char>(rest));
  return header + static_cast<char>(0x80 | digits.size()) + digits;
}

std::string Der(unsigned char tag, const std::string& content) {
  return DerHeader(tag, content.size()) + content;
}

// blob with [from, to) replaced by with, inside the elements of path
// (outermost first, each holding the next and the range), whose lengths are
// written again in their shortest form.
std::string Splice(const std::string& blob, const DerElement* path, size_t depth, size_t from,
                   size_t to, std::string with) {
  for (size_t level = depth; level-- > 0;) {
    const DerElement& element = path[level];
    with = Der(element.tag, blob.substr(element.content, from - element.content) + with +
                                blob.substr(to, element.end - to));
    from = element.start;
    to = element.end;
  }
  return blob.substr(0, from) + with + blob.substr(to);
}

// The certificate that carries data: self-issued, with the generator of
// P-256 as its public key and a signature of (1, 1), which nobody can take
// for a real one; well formed, so that every reader of the set can decode it.
std::string TagCertificate(const std::string& data) {
  static const char kEcdsaSha256[] = "\x30\x0A\x06\x08\x2A\x86\x48\xCE\x3D\x04\x03\x02";
  static const char kName[] =
      "\x30\x18\x31\x16\x30\x14\x06\x03\x55\x04\x03\x0C\x0D"
      "Installer tag";
  static const char kValidity[] =
      "\x30\x1E\x17\x0D"
      "260101000000Z"
      "\x17\x0D"
      "360101000000Z";
  static const char kPublicKey[] =
      "\x30\x59\x30\x13\x06\x07\x2A\x86\x48\xCE\x3D\x02\x01\x06\x08\x2A\x86\x48\xCE\x3D\x03\x01"
      "\x07\x03\x42\x00\x04"
      "\x6B\x17\xD1\xF2\xE1\x2C\x42\x47\xF8\xBC\xE6\xE5\x63\xA4\x40\xF2"
      "\x77\x03\x7D\x81\x2D\xEB\x33\xA0\xF4\xA1\x39\x45\xD8\x98\xC2\x96"
      "\x4F\xE3\x42\xE2\xFE\x1A\x7F\x9B\x8E\xE7\xEB\x4A\x7C\x0F\x9E\x16"
      "\x2B\xCE\x33\x57\x6B\x31\x5E\xCE\xCB\xB6\x40\x68\x37\xBF\x51\xF5";
  const std::string algorithm(kEcdsaSha256, sizeof kEcdsaSha256 - 1);
  const std::string name(kName, sizeof kName - 1);
  const std::string oid(reinterpret_cast<const char*>(kTagExtensionOid), sizeof kTagExtensionOid);
  const std::string extension =
      Der(0x30, Der(0x06, oid) + Der(0x04, Der(0x04, data)));
  const std::string tbs = Der(
      0x30, std::string("\xA0\x03\x02\x01\x02\x02\x01\x01", 8) + algorithm + name +
                std::string(kValidity, sizeof kValidity - 1) + name +
                std::string(kPublicKey, sizeof kPublicKey - 1) +
                Der(0xA3, Der(0x30, extension)));
  return Der(0x30, tbs + algorithm + std::string("\x03\x09\x00\x30\x06\x02\x01\x01\x02\x01\x01", 11));
}

// The blob without the certificates that carry a tag; the size of the first
// one's data in *previous (or npos). False when it is not a SignedData with
// a certificates set.
bool WithoutTagCertificates(std::string* blob, size_t* previous, SignedDataTag* place) {
  *previous = std::string::npos;
  for (;;) {
    if (!FindSignedDataTag(Bytes(*blob), 0, blob->size(), place)) return false;
    if (place->certificate.tag == 0) return true;
    if (*previous == std::string::npos) *previous = place->found ? place->length : 0;
    *blob = Splice(*blob, place->path, 4, place->certificate.start, place->certificate.end, "");
  }
}

}  // namespace

bool WriteInstallerTag(const std::string& program, const std::string& data, TagForm form,
                       std::string* out, TagNotes* notes, std::string* error) {
  *notes = TagNotes();
  Certificate certificate;
  if (!FindCertificate(program, &certificate, error)) return false;
  if (data.size() > kTagMaxData)
    return Fail(error, "the tag data has " + std::to_string(data.size()) +
                           " bytes; a tag holds at most 65535");
  const size_t start = certificate.tableOffset;
  if (form == TagForm::kAfterBlob &&
      (ByteAt(program, start + kBlobAt) != 0x30 || ByteAt(program, start + kBlobAt + 1) != 0x82))
    return Fail(error, kNotTwoByteForm);
  // What lies after the blob: a block to replace, or padding.
  if (certificate.length > certificate.blobEnd) {
    TagBlockPlace place;
    int32_t previous = 0;
    if (FindTagBlockPlace(Bytes(program), start + certificate.length, &place) &&
        ParseTagBlock(Bytes(program), place.end, place.block, nullptr, &previous)) {
      notes->replaced = true;
      notes->previousSize = static_cast<size_t>(previous) - 1;
      notes->previousForm = TagForm::kAfterBlob;
    } else if (!std::all_of(program.begin() + start + certificate.blobEnd,
                            program.begin() + start + certificate.length,
                            [](char c) { return c == '\0'; })) {
      return Fail(error,
                  "the first certificate holds other data after its signature blob, "
                  "which a tag would overwrite");
    }
  }
  std::string blob = program.substr(start + kBlobAt, certificate.blobEnd - kBlobAt);
  size_t previous;
  SignedDataTag place;
  const bool signedData = WithoutTagCertificates(&blob, &previous, &place);
  if (previous != std::string::npos) {
    notes->replaced = true;
    notes->previousSize = previous;
    notes->previousForm = TagForm::kInSignature;
  }

  std::string entry(kBlobAt, '\0');
  entry.replace(4, 4, program, start + 4, 4);  // wRevision, wCertificateType
  if (form == TagForm::kInSignature) {
    if (!signedData)
      return Fail(error,
                  "the signature blob is not a SignedData with a certificates set that "
                  "payloadtool can read");
    entry += Splice(blob, place.path, 4, place.path[3].end, place.path[3].end,
                    TagCertificate(data));
  } else {
    size_t offset;
    if (!BlockOffset(blob, &offset, error)) return false;
    entry += blob;
    entry.resize(offset, '\0');
    entry += "Qtag";
    entry.push_back(static_cast<char>(data.size() >> 8));
    entry.push_back(static_cast<char>(data.size() & 0xFF));
    entry += data;
  }
  entry.resize(Align8(entry.size()), '\0');
  const size_t next = Align8(certificate.length);
  const std::string rest =
      next < certificate.tableSize ? program.substr(start + next) : std::string();
  if (uint64_t{start} + entry.size() + rest.size() > 0xFFFFFFFFu)
    return Fail(error, "the tagged program would be too large");

  out->assign(program, 0, start);
  out->append(entry);
  out->append(rest);
  WriteLe32(out, start, static_cast<uint32_t>(entry.size()));
  WriteLe32(out, certificate.tableSizeAt, static_cast<uint32_t>(entry.size() + rest.size()));
  WriteLe32(out, certificate.checkSumAt, 0);
  WriteLe32(out, certificate.checkSumAt, PeChecksum(*out, certificate.checkSumAt));
  return true;
}

TagRead ReadInstallerTag(const std::string& program, std::string* data, TagForm* form) {
  data->clear();
  PeHeaders headers;
  std::string ignored;
  if (!ReadPeHeaders(program, &headers, &ignored)) return TagRead::kUnsigned;
  const PeDirectory table = headers.Directory(kDirectoryCertificates);
  if (table.address == 0 || table.size == 0) return TagRead::kUnsigned;
  FoundTag tag;
  if (!FindInstallerTag(Bytes(program), program.size(), &tag)) return TagRead::kNone;
  data->assign(program, tag.data, tag.length);
  if (form) *form = tag.form;
  return TagRead::kFound;
}

const char* TagFormText(TagForm form) {
  return form == TagForm::kInSignature ? "in the signature" : "after the signature blob";
}
