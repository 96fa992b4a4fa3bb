// Writing the installer tag into the certificate table of programs made in
// memory and of the signed fuzz seeds (osslsigncode's signatures), read back
// with the program's own parser. (Signatures that must still verify,
// unsigned programs and other files are tagged in tests/e2e/packed_programs.sh.)
#include "certificate_tag.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "pe_checksum.h"
#include "pe_headers.h"
#include "padding_rule.h"
#include "pe_test_program.h"
#include "trust/signed_data_tag.h"

namespace {

// A program whose certificate table holds a certificate with a blob that
// begins 0x30 form and has blobLength bytes of content, then after (padded to
// 8 bytes), then second.
std::string SignedProgram(uint32_t blobLength, const std::string& after = std::string(),
                          unsigned char form = 0x82, const std::string& second = std::string()) {
  TestProgram program = ProgramWithResources(SampleResources().items);
  std::string entry = std::string(8, '\0') + '\x30' + static_cast<char>(form) +
                      static_cast<char>(blobLength >> 8) + static_cast<char>(blobLength & 0xFF) +
                      std::string(blobLength, '\x5A') + after;
  entry.resize((entry.size() + 7) & ~size_t{7}, '\0');
  PutLe32(&entry, 0, static_cast<uint32_t>(entry.size()));
  PutLe32(&entry, 4, 0x00020200);
  program.directories[4][0] = static_cast<uint32_t>(program.Build().size());
  program.directories[4][1] = static_cast<uint32_t>(entry.size() + second.size());
  program.trailing = entry + second;
  return program.Build();
}

std::string Tagged(const std::string& program, const std::string& data, TagNotes* notes = nullptr) {
  std::string out, error;
  TagNotes ignored;
  if (!WriteInstallerTag(program, data, TagForm::kAfterBlob, &out, notes ? notes : &ignored, &error)) return error;
  std::string read;
  return ReadInstallerTag(out, &read) == TagRead::kFound ? out : "written but not read back";
}

std::string TagOf(const std::string& program) {
  std::string data;
  return ReadInstallerTag(program, &data) == TagRead::kFound ? data : "(none)";
}

TEST(CertificateTag, WritesWhereTheProgramReadsAndKeepsTheSignedBytes) {
  for (uint32_t blobLength = 1000; blobLength < 1008; ++blobLength) {
    const std::string program = SignedProgram(blobLength);
    const std::string tagged = Tagged(program, "campaign=spring");
    if (blobLength % 8 == 5) {
      // L + 12 is one less than a multiple of 8: T falls on the blob's last byte.
      EXPECT_NE(std::string::npos, tagged.find("ends one byte after")) << tagged;
      continue;
    }
    ASSERT_EQ("campaign=spring", TagOf(tagged)) << blobLength << ": " << tagged.substr(0, 200);
    PeHeaders headers;
    std::string error;
    ASSERT_TRUE(ReadPeHeaders(tagged, &headers, &error));
    const PeDirectory table = headers.Directory(kDirectoryCertificates);
    EXPECT_EQ(tagged.size(), uint64_t{table.address} + table.size);
    EXPECT_EQ(table.size, GetLe32(tagged, table.address)) << "dwLength";
    EXPECT_EQ(0u, table.size % 8);
    EXPECT_EQ(PeChecksum(tagged, headers.CheckSumAt()), GetLe32(tagged, headers.CheckSumAt()));
    EXPECT_EQ(program.substr(0, headers.CheckSumAt()), tagged.substr(0, headers.CheckSumAt()));
    EXPECT_EQ(program.substr(table.address + 4, 8 + blobLength),
              tagged.substr(table.address + 4, 8 + blobLength));
  }
}

TEST(CertificateTag, ReplacesABlockAndKeepsLaterCertificates) {
  const std::string second = std::string("\x10\0\0\0\0\x02\x02\0", 8) + "SECOND!!";
  TagNotes notes;
  const std::string once = Tagged(SignedProgram(1000, "", 0x82, second), std::string(300, 'L'));
  const std::string twice = Tagged(once, "short", &notes);
  EXPECT_TRUE(notes.replaced);
  EXPECT_EQ(300u, notes.previousSize);
  EXPECT_EQ("short", TagOf(twice));
  EXPECT_EQ(second, twice.substr(twice.size() - second.size()));
  EXPECT_EQ("", TagOf(Tagged(SignedProgram(1000), "")));
  const std::string longest(65535, 'x');
  EXPECT_EQ(longest, TagOf(Tagged(SignedProgram(1000), longest)));
}

TEST(CertificateTag, RefusesWhatItCannotTag) {
  std::string moved = SignedProgram(1000) + "after the table";
  std::string overlapping = SignedProgram(1000);  // the table begins 0x200 bytes early
  const size_t entry = 0x80 + 24 + 96 + 8 * 4;
  PutLe32(&overlapping, entry, GetLe32(overlapping, entry) - 0x200);
  PutLe32(&overlapping, entry + 4, GetLe32(overlapping, entry + 4) + 0x200);
  const struct {
    std::string program, data, reason;
  } cases[] = {
      {SignedProgram(100, "", 0x81), "x", "two-byte form (0x30 0x82)"},
      {SignedProgram(1000, std::string(20, '\x7F')), "x", "other data after"},
      {moved, "x", "not at the end of the file"},
      {overlapping, "x", "the certificate table overlaps the program's headers or sections"},
      {SignedProgram(1000), std::string(65536, 'x'), "at most 65535"},
  };
  for (const auto& c : cases) {
    const std::string result = Tagged(c.program, c.data);
    EXPECT_NE(std::string::npos, result.find(c.reason)) << result.substr(0, 200);
  }
}

std::string Seed(const char* name) {
  std::ifstream in(std::string(FUZZ_INPUTS_DIR) + "/corpus/tag_block/" + name, std::ios::binary);
  return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Write(const std::string& program, const std::string& data, TagForm form,
                  TagNotes* notes) {
  std::string out, error;
  return WriteInstallerTag(program, data, form, &out, notes, &error) ? out : "error: " + error;
}

// Every pair of forms, tagged and then tagged again: only the second tag is
// left in the file, the table and the checksum are exact, and only the form
// inside the signature keeps the padding rule.
TEST(CertificateTag, EitherFormReplacesEitherInSignedSeeds) {
  const TagForm kIn = TagForm::kInSignature, kAfter = TagForm::kAfterBlob;
  const struct {
    TagForm first, second;
  } pairs[] = {{kIn, kIn}, {kIn, kAfter}, {kAfter, kIn}, {kAfter, kAfter}};
  for (const char* seed : {"signed_pe32.exe", "signed_pe32plus.exe"}) {
    const std::string program = Seed(seed);
    ASSERT_EQ("", PaddingRuleBroken(program)) << seed;
    PeHeaders headers;
    std::string error;
    ASSERT_TRUE(ReadPeHeaders(program, &headers, &error)) << seed << ": " << error;
    const PeDirectory table = headers.Directory(kDirectoryCertificates);
    for (const auto& pair : pairs) {
      const std::string where = std::string(seed) + ": " + TagFormText(pair.first) + ", then " +
                                TagFormText(pair.second);
      TagNotes notes;
      const std::string once = Write(program, "first=gone", pair.first, &notes);
      const std::string twice = Write(once, "second=kept", pair.second, &notes);
      std::string data;
      TagForm form = kAfter;
      ASSERT_EQ(TagRead::kFound, ReadInstallerTag(twice, &data, &form)) << where;
      EXPECT_EQ("second=kept", data) << where;
      EXPECT_EQ(pair.second, form) << where;
      EXPECT_TRUE(notes.replaced && notes.previousSize == 10 && notes.previousForm == pair.first)
          << where;
      EXPECT_EQ(std::string::npos, twice.find("first=gone")) << where;
      EXPECT_EQ(pair.second == kIn, PaddingRuleBroken(twice).empty()) << where;
      EXPECT_EQ(program.substr(0, headers.CheckSumAt()), twice.substr(0, headers.CheckSumAt()));
      EXPECT_EQ(PeChecksum(twice, headers.CheckSumAt()), GetLe32(twice, headers.CheckSumAt()));
      EXPECT_EQ(twice.size() - table.address, GetLe32(twice, headers.DirectoryAt(4) + 4)) << where;
      EXPECT_EQ(twice.size() - table.address, GetLe32(twice, table.address)) << "dwLength";
      // Taken out again, the certificate leaves the blob as it was signed.
      DerElement blob;
      ASSERT_TRUE(ReadDerElement(reinterpret_cast<const unsigned char*>(program.data()),
                                 table.address + 8, program.size(), &blob));
      if (pair.second == kAfter) {
        EXPECT_EQ(program.substr(table.address + 4, blob.end - table.address - 4),
                  twice.substr(table.address + 4, blob.end - table.address - 4))
            << where;
      }
    }
    // The longest tag takes the blob's length to three bytes.
    TagNotes notes;
    const std::string longest(65535, 'x');
    const std::string tagged = Write(program, longest, kIn, &notes);
    std::string data;
    EXPECT_EQ(TagRead::kFound, ReadInstallerTag(tagged, &data));
    EXPECT_TRUE(data == longest) << seed;
    EXPECT_EQ("", PaddingRuleBroken(tagged));
    EXPECT_EQ(0x83, static_cast<unsigned char>(tagged[table.address + 9]));
  }
  TagNotes notes;
  EXPECT_EQ(
      "error: the signature blob is not a SignedData with a certificates set that payloadtool "
      "can read",
      Write(SignedProgram(1000), "x", TagForm::kInSignature, &notes));
}

}  // namespace
