// The resource section writer and the rebuild of a program around it.
#include <gtest/gtest.h>

#include <algorithm>

#include "pe_checksum.h"
#include "pe_headers.h"
#include "pe_rebuild.h"
#include "pe_test_program.h"
#include "resource_directory.h"

namespace {

std::string Key(const ResourceId& type, const ResourceId& name, uint16_t language) {
  return DescribeResource(type, name) + "/" + std::to_string(language);
}

// What a program holds, in directory order, with the bytes of each.
std::vector<std::string> Contents(const std::string& file, PeHeaders* headers) {
  ResourceDirectory directory;
  std::string error;
  EXPECT_TRUE(ReadPeHeaders(file, headers, &error) &&
              ReadResources(file, *headers, &directory, &error))
      << error;
  std::vector<std::string> contents;
  for (const ResourceEntry& e : directory.entries)
    contents.push_back(Key(*e.type, *e.name, e.language) + "=" + file.substr(e.offset, e.size));
  return contents;
}

TEST(ResourceSection, SortsAlignsAndAlwaysGivesTheSameBytes) {
  const TestResources sample = SampleResources();
  std::vector<ResourceItem> reversed(sample.items.rbegin(), sample.items.rend());
  std::string first, second, error;
  ASSERT_TRUE(AppendResourceSection(sample.items, 0x5000, &first, &error)) << error;
  ASSERT_TRUE(AppendResourceSection(reversed, 0x5000, &second, &error)) << error;
  EXPECT_EQ(first, second);

  PeHeaders headers;
  const std::vector<std::string> contents =
      Contents(ProgramWithResources(sample.items).Build(), &headers);
  const std::vector<std::string> expected = {
      "EXE/A_B/0=" + sample.data[2],           "EXE/LUMENO2_ADMIN/0=" + sample.data[1],
      "XML/PAYLOAD/0=" + sample.data[0],       "#3 (ICON)/#1/1033=" + sample.data[2],
      "#6 (STRING)/#1/1031=" + sample.data[3], "#6 (STRING)/#1/1033=" + sample.data[4],
      "#6 (STRING)/#1/1041=" + sample.data[5], "#24 (MANIFEST)/#1/1033=" + sample.data[6]};
  EXPECT_EQ(expected, contents);
  ResourceDirectory directory;
  const std::string file = ProgramWithResources(sample.items).Build();
  ASSERT_TRUE(ReadResources(file, headers, &directory, &error));
  for (const ResourceEntry& e : directory.entries)
    EXPECT_EQ(0u, (e.offset - headers.sections[1].rawOffset) % 8) << DescribeResource(e);

  std::vector<ResourceItem> twice = sample.items;
  twice.push_back(sample.items[3]);
  std::string ignored;
  EXPECT_FALSE(AppendResourceSection(twice, 0x5000, &ignored, &error));
  EXPECT_EQ("two resources #6 (STRING)/#1 in the same language", error);
}

struct LayoutCase {
  const char* what;
  bool resources;    // the stub has a resource section
  bool relocations;  // a relocation section follows it
  bool is64;
  bool signature;  // a certificate table follows the sections
  bool symbols;    // a symbol table follows them
};
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.what; }

class Rebuild : public testing::TestWithParam<LayoutCase> {};

TEST_P(Rebuild, PutsTheResourcesLastAndFixesTheHeaders) {
  const LayoutCase& c = GetParam();
  const TestResources sample = SampleResources();
  std::vector<ResourceItem> old(sample.items.begin(), sample.items.begin() + 3);
  TestProgram program = ProgramWithResources(old, c.relocations, c.is64);
  if (!c.resources) {
    program.sections.erase(program.sections.begin() + 1);
    program.directories[2][0] = program.directories[2][1] = 0;
    if (c.relocations) program.directories[5][0] = program.AddressOf(1);
  }
  const std::string symbols = std::string(18, 'S') + std::string("\x0e\0\0\0.eh_frame\0", 14);
  if (c.symbols) {
    program.symbols = symbols;
    program.symbolCount = 1;
  }
  if (c.signature) {
    program.directories[4][0] = static_cast<uint32_t>(program.Build().size());
    program.directories[4][1] = 16;
    program.trailing = std::string("\x10\0\0\0\0\x02\x02\0\x30\x82\0\x02\0\0\0\0", 16);
  }
  const std::string stub = program.Build();
  PeHeaders headers;
  Contents(stub, &headers);
  const std::vector<PeSection> before = headers.sections;

  std::string out, error;
  RebuildNotes notes;
  ASSERT_TRUE(RebuildWithResources(stub, headers, sample.items, &out, &notes, &error)) << error;
  EXPECT_EQ(c.signature, notes.droppedCertificates);
  PeHeaders rebuilt;
  PeHeaders sampleHeaders;
  EXPECT_EQ(Contents(ProgramWithResources(sample.items).Build(), &sampleHeaders),
            Contents(out, &rebuilt));
  const PeSection& last = rebuilt.sections.back();
  EXPECT_EQ(".rsrc", last.name);
  EXPECT_EQ(before.size() + !c.resources, rebuilt.sections.size());
  EXPECT_EQ(last.virtualAddress, rebuilt.Directory(kDirectoryResources).address);
  EXPECT_EQ(last.virtualSize, rebuilt.Directory(kDirectoryResources).size);
  EXPECT_EQ((last.VirtualEnd() + 0xFFF) & ~0xFFFu, GetLe32(out, rebuilt.SizeOfImageAt()));
  EXPECT_EQ(last.RawEnd() + (c.symbols ? symbols.size() : 0), out.size());
  if (c.symbols) {
    EXPECT_EQ(last.RawEnd(), GetLe32(out, rebuilt.SymbolTableAt()));
    EXPECT_EQ(symbols, out.substr(last.RawEnd()));
  }
  EXPECT_EQ(0u, rebuilt.Directory(kDirectoryCertificates).address);
  EXPECT_EQ(PeChecksum(out, rebuilt.CheckSumAt()), GetLe32(out, rebuilt.CheckSumAt()));
  EXPECT_EQ(stub.substr(0x400, 0x400), out.substr(0x400, 0x400)) << ".text moved";
  if (c.relocations) {
    const PeSection& moved = rebuilt.sections[rebuilt.sections.size() - 2];
    const PeSection& original = before.back();
    EXPECT_EQ(".reloc", moved.name);
    EXPECT_EQ(moved.virtualAddress, rebuilt.Directory(kDirectoryRelocations).address);
    EXPECT_EQ(stub.substr(original.rawOffset, original.rawSize),
              out.substr(moved.rawOffset, moved.rawSize));
  }
  // Packing the result again with the same resources changes nothing.
  std::string again;
  ASSERT_TRUE(RebuildWithResources(out, rebuilt, sample.items, &again, &notes, &error)) << error;
  EXPECT_EQ(out, again);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Rebuild,
    testing::Values(LayoutCase{"resources then relocations", true, true, false, false, false},
                    LayoutCase{"resources last", true, false, false, false, false},
                    LayoutCase{"no resources", false, false, false, false, false},
                    LayoutCase{"no resources, relocations last", false, true, false, false, false},
                    LayoutCase{"PE32+", true, true, true, false, false},
                    LayoutCase{"signed", true, true, false, true, false},
                    LayoutCase{"symbols and a signature", true, true, false, true, true}));

TEST(Rebuild, RefusesLayoutsItCannotChangeSafely) {
  const TestResources sample = SampleResources();
  const auto base = [&sample] { return ProgramWithResources(sample.items); };
  TestProgram dataAfter = base();
  dataAfter.sections.push_back(TestSection{".data", "x"});
  TestProgram appended = base();
  appended.trailing = "appended installer";
  TestProgram directoryInside = base();
  directoryInside.directories[1][0] = directoryInside.AddressOf(1) + 8;
  TestProgram offStart = base();
  offStart.directories[2][0] += 16;
  TestProgram full = base();
  full.sections.erase(full.sections.begin() + 1, full.sections.end());
  full.directories[2][0] = full.directories[5][0] = 0;
  full.sizeOfHeaders = 0x80 + 24 + 224 + 40;
  const struct {
    const char* what;
    TestProgram program;
    const char* reason;
  } cases[] = {
      {"a data section after the resources", dataAfter, "section .data follows the resources"},
      {"data appended after the sections", appended, "18 bytes after its sections"},
      {"a directory inside the resources", directoryInside, "data directory entry 1 points at"},
      {"resources inside a section", offStart, "share a section"},
      {"no room for a header", full, "no room in the headers"},
  };
  for (const auto& c : cases) {
    const std::string stub = c.program.Build();
    PeHeaders headers;
    std::string out, error;
    RebuildNotes notes;
    ASSERT_TRUE(ReadPeHeaders(stub, &headers, &error)) << c.what << ": " << error;
    EXPECT_FALSE(RebuildWithResources(stub, headers, sample.items, &out, &notes, &error)) << c.what;
    EXPECT_NE(std::string::npos, error.find(c.reason)) << c.what << ": " << error;
  }
}

}  // namespace
