// Writing the installer tag into the certificate table of programs made in
// memory, read back with the program's own tag-block parser.
#include "certificate_tag.h"

#include <gtest/gtest.h>

#include "pe_checksum.h"
#include "pe_headers.h"
#include "pe_test_program.h"
#include "trust/tag_block.h"

namespace {

// A program with a certificate table of one entry: the 8-byte header, a blob
// beginning 0x30 0x82 with content length blobLength, then after (padded to 8).
std::string SignedProgram(uint32_t blobLength, const std::string& after = std::string(),
                          unsigned char form = 0x82, const std::string& second = std::string()) {
  TestProgram program = ProgramWithResources(SampleResources().items);
  std::string entry(8, '\0');
  entry += std::string("\x30", 1) + static_cast<char>(form) + static_cast<char>(blobLength >> 8) +
           static_cast<char>(blobLength & 0xFF) + std::string(blobLength, '\x5A') + after;
  entry.resize((entry.size() + 7) & ~size_t{7}, '\0');
  PutLe32(&entry, 0, static_cast<uint32_t>(entry.size()));
  PutLe32(&entry, 4, 0x00020200);
  program.directories[4][0] = static_cast<uint32_t>(program.Build().size());
  program.directories[4][1] = static_cast<uint32_t>(entry.size() + second.size());
  program.trailing = entry + second;
  return program.Build();
}

std::string Extracted(const std::string& file) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  int32_t size = 0;
  if (!ExtractTagFromBytes(bytes, file.size(), nullptr, &size)) return "(none)";
  std::string data(static_cast<size_t>(size), '\0');
  if (!ExtractTagFromBytes(bytes, file.size(), &data[0], &size)) return "(copy failed)";
  return data.substr(0, data.size() - 1);
}

TEST(CertificateTag, WritesWhereTheProgramReadsForEveryBlobLength) {
  for (uint32_t blobLength = 1000; blobLength < 1008; ++blobLength) {
    const std::string program = SignedProgram(blobLength);
    std::string tagged, error;
    TagNotes notes;
    const bool written = WriteInstallerTag(program, "campaign=spring", &tagged, &notes, &error);
    if (blobLength % 8 == 5) {
      // L + 12 is one less than a multiple of 8: T lands on the blob's last byte.
      EXPECT_FALSE(written);
      EXPECT_NE(std::string::npos, error.find("ends one byte after")) << error;
      continue;
    }
    ASSERT_TRUE(written) << blobLength << ": " << error;
    EXPECT_EQ("campaign=spring", Extracted(tagged)) << blobLength;
    PeHeaders headers;
    ASSERT_TRUE(ReadPeHeaders(tagged, &headers, &error));
    const PeDirectory table = headers.Directory(kDirectoryCertificates);
    EXPECT_EQ(tagged.size(), uint64_t{table.address} + table.size);
    EXPECT_EQ(table.size, GetLe32(tagged, table.address));
    EXPECT_EQ(0u, table.size % 8);
    EXPECT_EQ(PeChecksum(tagged, headers.CheckSumAt()), GetLe32(tagged, headers.CheckSumAt()));
    // The signed part and the blob are as they were.
    EXPECT_EQ(program.substr(0, headers.CheckSumAt()), tagged.substr(0, headers.CheckSumAt()));
    EXPECT_EQ(program.substr(table.address + 4, 8 + blobLength),
              tagged.substr(table.address + 4, 8 + blobLength));
  }
}

TEST(CertificateTag, ReplacesABlockAndKeepsLaterCertificates) {
  const std::string second = std::string("\x10\0\0\0\0\x02\x02\0", 8) + "SECOND!!";
  const std::string program = SignedProgram(1000, std::string(), 0x82, second);
  std::string once, twice, error;
  TagNotes notes;
  ASSERT_TRUE(WriteInstallerTag(program, std::string(300, 'L'), &once, &notes, &error)) << error;
  EXPECT_FALSE(notes.replaced);
  ASSERT_TRUE(WriteInstallerTag(once, "short", &twice, &notes, &error)) << error;
  EXPECT_TRUE(notes.replaced);
  EXPECT_EQ(300u, notes.previousSize);
  EXPECT_EQ("short", Extracted(twice));
  EXPECT_EQ(second, twice.substr(twice.size() - second.size()));
  EXPECT_LT(twice.size(), once.size());
  std::string data;
  EXPECT_EQ(TagRead::kFound, ReadInstallerTag(twice, &data));
  EXPECT_EQ("short", data);
}

TEST(CertificateTag, EdgesOfTheDataLength) {
  const std::string program = SignedProgram(1000);
  std::string tagged, error;
  TagNotes notes;
  ASSERT_TRUE(WriteInstallerTag(program, "", &tagged, &notes, &error)) << error;
  EXPECT_EQ("", Extracted(tagged));
  const std::string longest(65535, 'x');
  ASSERT_TRUE(WriteInstallerTag(program, longest, &tagged, &notes, &error)) << error;
  EXPECT_EQ(longest, Extracted(tagged));
  EXPECT_FALSE(WriteInstallerTag(program, longest + "x", &tagged, &notes, &error));
  EXPECT_EQ("the tag data has 65536 bytes; a tag holds at most 65535", error);
}

TEST(CertificateTag, RefusesWhatItCannotTag) {
  std::string unsigned_ = ProgramWithResources(SampleResources().items).Build();
  std::string movedTable = SignedProgram(1000);
  movedTable += "after the table";
  const struct {
    const char* what;
    std::string program;
    const char* reason;
  } cases[] = {
      {"unsigned", unsigned_, "not signed (no certificate table)"},
      {"not a program", "just text, no headers at all, no MZ either, just text", "not a program"},
      {"a blob length in one byte", SignedProgram(100, "", 0x81), "two-byte form (0x30 0x82)"},
      {"data after the blob", SignedProgram(1000, std::string(20, '\x7F')), "other data after"},
      {"a table not at the end", movedTable, "not at the end of the file"},
  };
  for (const auto& c : cases) {
    std::string out = "untouched", error;
    TagNotes notes;
    EXPECT_FALSE(WriteInstallerTag(c.program, "x", &out, &notes, &error)) << c.what;
    EXPECT_NE(std::string::npos, error.find(c.reason)) << c.what << ": " << error;
  }
  std::string data;
  EXPECT_EQ(TagRead::kUnsigned, ReadInstallerTag(unsigned_, &data));
  EXPECT_EQ(TagRead::kNone, ReadInstallerTag(SignedProgram(1000), &data));
}

}  // namespace
