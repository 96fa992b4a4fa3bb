#include "certificate_tag.h"

#include <algorithm>

#include "byte_order.h"
#include "pe_checksum.h"
#include "pe_headers.h"
#include "trust/tag_block.h"

namespace {

constexpr size_t kCertificateHeaderSize = 8;  // dwLength, wRevision, wCertificateType
constexpr size_t kBlobAt = kCertificateHeaderSize;

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

size_t Align8(size_t value) { return (value + 7) & ~static_cast<size_t>(7); }

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

// The first certificate of a signed program and where its block goes.
struct Certificate {
  uint32_t tableOffset = 0;
  uint32_t tableSize = 0;
  size_t length = 0;       // dwLength
  size_t blobEnd = 0;      // from the certificate's start
  size_t tagOffset = 0;    // T, from the certificate's start
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
  const size_t blob = table.address + kBlobAt;
  if (ByteAt(program, blob) != 0x30 || ByteAt(program, blob + 1) != 0x82)
    return Fail(error,
                "the signature blob's length is not in the two-byte form (0x30 0x82): "
                "the program cannot read a tag after it");
  const size_t blobLength = ByteAt(program, blob + 2) << 8 | ByteAt(program, blob + 3);
  found->blobEnd = kBlobAt + 4 + blobLength;
  if (found->blobEnd > found->length)
    return Fail(error, "the signature blob runs past the end of its certificate");
  found->tagOffset = (blobLength + 18) & ~static_cast<size_t>(7);
  // When L + 12 is 1 less than a multiple of 8 the program looks one byte too early.
  if (found->tagOffset < found->blobEnd)
    return Fail(error, "the signature blob (" + std::to_string(blobLength) +
                           " bytes) ends one byte after the place the program reads a tag from: "
                           "sign it again so that the blob's length changes (for example with a "
                           "description of another length), then tag it");
  return true;
}

}  // namespace

bool WriteInstallerTag(const std::string& program, const std::string& data, std::string* out,
                       TagNotes* notes, std::string* error) {
  *notes = TagNotes();
  Certificate certificate;
  if (!FindCertificate(program, &certificate, error)) return false;
  if (data.size() > kTagMaxData)
    return Fail(error, "the tag data has " + std::to_string(data.size()) +
                           " bytes; a tag holds at most 65535");
  const size_t start = certificate.tableOffset;
  // What lies from T to the certificate's end: a block to replace, or padding.
  if (certificate.length > certificate.tagOffset) {
    int32_t previous = 0;
    if (ParseTagBlock(Bytes(program), start + certificate.length, start + certificate.tagOffset,
                      nullptr, &previous)) {
      notes->replaced = true;
      notes->previousSize = static_cast<size_t>(previous) - 1;
    } else if (!std::all_of(program.begin() + start + certificate.tagOffset,
                            program.begin() + start + certificate.length,
                            [](char c) { return c == '\0'; })) {
      return Fail(error,
                  "the first certificate holds other data after its signature blob, "
                  "which a tag would overwrite");
    }
  }
  const size_t kept = std::min(certificate.length, certificate.tagOffset);
  const size_t length = Align8(certificate.tagOffset + kTagHeaderSize + data.size());
  const size_t next = Align8(certificate.length);
  const std::string rest =
      next < certificate.tableSize ? program.substr(start + next) : std::string();
  if (uint64_t{start} + length + rest.size() > 0xFFFFFFFFu)
    return Fail(error, "the tagged program would be too large");

  out->assign(program, 0, start + kept);
  out->resize(start + certificate.tagOffset, '\0');
  out->append("Qtag", kTagMagicSize);
  out->push_back(static_cast<char>(data.size() >> 8));
  out->push_back(static_cast<char>(data.size() & 0xFF));
  out->append(data);
  out->resize(start + length, '\0');
  out->append(rest);
  WriteLe32(out, start, static_cast<uint32_t>(length));

  WriteLe32(out, certificate.tableSizeAt, static_cast<uint32_t>(length + rest.size()));
  WriteLe32(out, certificate.checkSumAt, 0);
  WriteLe32(out, certificate.checkSumAt, PeChecksum(*out, certificate.checkSumAt));
  return true;
}

TagRead ReadInstallerTag(const std::string& program, std::string* data) {
  data->clear();
  PeHeaders headers;
  std::string ignored;
  if (!ReadPeHeaders(program, &headers, &ignored)) return TagRead::kUnsigned;
  const PeDirectory table = headers.Directory(kDirectoryCertificates);
  if (table.address == 0 || table.size == 0) return TagRead::kUnsigned;
  int32_t size = 0;
  if (!ExtractTagFromBytes(Bytes(program), program.size(), nullptr, &size)) return TagRead::kNone;
  std::string buffer(static_cast<size_t>(size), '\0');
  if (!ExtractTagFromBytes(Bytes(program), program.size(), &buffer[0], &size))
    return TagRead::kNone;
  data->assign(buffer.data(), static_cast<size_t>(size) - 1);
  return TagRead::kFound;
}
