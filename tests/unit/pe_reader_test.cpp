// The PE reader on programs made in memory: what it rejects and why.
#include <gtest/gtest.h>

#include "pe_headers.h"
#include "pe_test_program.h"
#include "resource_directory.h"

namespace {

constexpr uint32_t kHigh = 0x80000000u;

bool Read(const std::string& file, ResourceDirectory* directory, std::string* error) {
  PeHeaders headers;
  return ReadPeHeaders(file, &headers, error) && ReadResources(file, headers, directory, error);
}

// Offsets inside the sample's resource section, followed from its root.
struct Tree {
  std::string* file;
  uint32_t base;  // file offset of the root table
  uint32_t size;  // bytes of the section from the root on
  uint32_t At(uint32_t offset) const { return GetLe32(*file, base + offset) & ~kHigh; }
  uint32_t TypeEntry(int type) const { return 16 + 8 * type; }
  uint32_t LanguageEntry(int type) const { return At(At(TypeEntry(type) + 4) + 20) + 16; }
  uint32_t DataEntry(int type) const { return At(LanguageEntry(type) + 4); }
  void Put(uint32_t offset, uint32_t value) const { PutLe32(file, base + offset, value); }
  uint32_t Get(uint32_t offset) const { return GetLe32(*file, base + offset); }
};

struct MalformedCase {
  const char* what;
  void (*damage)(const Tree&);
  const char* reason;
};
void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.what; }

// Type 0 is EXE (named), 2 is #3 and 3 is #6 (numbered), as sorted.
const MalformedCase kMalformed[] = {
    {"a type pointing back at the root", [](const Tree& t) { t.Put(t.TypeEntry(0) + 4, kHigh); },
     "a table is used twice"},
    {"two types sharing a name table",
     [](const Tree& t) { t.Put(t.TypeEntry(1) + 4, t.Get(t.TypeEntry(0) + 4)); }, "used twice"},
    {"two languages sharing a data entry",
     [](const Tree& t) { t.Put(t.LanguageEntry(1) + 4, t.Get(t.LanguageEntry(0) + 4)); },
     "used twice"},
    {"two resources sharing data",
     [](const Tree& t) { t.Put(t.DataEntry(2), t.Get(t.DataEntry(0))); }, "overlaps"},
    {"a table past the section",
     [](const Tree& t) { t.Put(t.TypeEntry(0) + 4, kHigh | 0x7FFFFFF0); },
     "a table lies outside the resource section"},
    {"a name past the section", [](const Tree& t) { t.Put(t.TypeEntry(0), kHigh | 0x7FFFFFF0); },
     "a name lies outside the resource section"},
    {"data past the file", [](const Tree& t) { t.Put(t.DataEntry(2), 0x7FFF0000); },
     "lies outside the file"},
    {"four levels",
     [](const Tree& t) { t.Put(t.LanguageEntry(0) + 4, kHigh | t.Get(t.LanguageEntry(0) + 4)); },
     "not types, names and languages"},
    {"an identifier over 16 bits", [](const Tree& t) { t.Put(t.TypeEntry(2), 0x10003); },
     "above 65535"},
    {"types and names sharing a name that fills most of the section",
     [](const Tree& t) {
       const uint32_t field = t.Get(t.TypeEntry(0));
       const uint32_t name = field & ~kHigh;
       t.Put(name, (t.size - name - 2) / 2 | ('E' << 16));
       const uint32_t names = t.At(t.TypeEntry(0) + 4);  // EXE's two names
       for (uint32_t entry : {t.TypeEntry(1), names + 16, names + 24}) t.Put(entry, field);
     },
     "names shared by many entries add up to more bytes than the resource section holds"},
};

class MalformedResources : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedResources, GiveAReason) {
  const TestResources sample = SampleResources();
  const TestProgram program = ProgramWithResources(sample.items);
  std::string file = program.Build();
  ResourceDirectory directory;
  std::string error;
  ASSERT_TRUE(Read(file, &directory, &error)) << error;
  ASSERT_EQ(sample.items.size(), directory.entries.size());
  PeHeaders headers;
  ASSERT_TRUE(ReadPeHeaders(file, &headers, &error));
  GetParam().damage(
      Tree{&file, headers.sections[1].rawOffset, headers.sections[1].FileBackedSize()});
  EXPECT_FALSE(Read(file, &directory, &error));
  EXPECT_EQ(0u, error.find("malformed resources: ")) << error;
  EXPECT_NE(std::string::npos, error.find(GetParam().reason)) << error;
}

INSTANTIATE_TEST_SUITE_P(Cases, MalformedResources, testing::ValuesIn(kMalformed));

TEST(ResourceNames, OneStringSharedByTwoTypesNamesBoth) {
  const TestResources sample = SampleResources();
  std::string file = ProgramWithResources(sample.items).Build();
  PeHeaders headers;
  std::string error;
  ASSERT_TRUE(ReadPeHeaders(file, &headers, &error)) << error;
  const Tree tree{&file, headers.sections[1].rawOffset, headers.sections[1].FileBackedSize()};
  tree.Put(tree.TypeEntry(1), tree.Get(tree.TypeEntry(0)));  // XML's name is EXE's
  ResourceDirectory directory;
  ASSERT_TRUE(Read(file, &directory, &error)) << error;
  ASSERT_EQ(sample.items.size(), directory.entries.size());
  std::vector<std::string> shown;
  for (size_t i = 0; i < 3; ++i) shown.push_back(DescribeResource(directory.entries[i]));
  EXPECT_EQ(
      (std::vector<std::string>{"EXE/A_B language 0x0000", "EXE/LUMENO2_ADMIN language 0x0000",
                                "EXE/PAYLOAD language 0x0000"}),
      shown);
  // Every resource under one name entry shares its key.
  EXPECT_EQ(directory.entries[4].name, directory.entries[5].name);
}

TEST(PeHeaders, RejectTruncatedAndForeignFiles) {
  const TestProgram program = ProgramWithResources(SampleResources().items);
  const std::string good = program.Build();
  const auto with = [&good](size_t at, uint32_t value, size_t at2 = 0, uint32_t value2 = 0) {
    std::string file = good;
    PutLe32(&file, at, value);
    if (at2 != 0) PutLe32(&file, at2, value2);
    return file;
  };
  const size_t relocationHeader = 0x80 + 24 + 224 + 2 * 40;
  std::string swapped = good;  // .rsrc's address below .text's
  PutLe32(&swapped, 0x80 + 24 + 224 + 40 + 12, 0x800);
  const struct {
    const char* what;
    std::string file;
    const char* reason;
  } cases[] = {
      {"empty", "", "not a program (no DOS header)"},
      {"ZM", "ZM" + good.substr(2), "not a program (no DOS header)"},
      {"cut in the PE signature", good.substr(0, 0x82), "not a program (no PE header)"},
      {"PE offset wrapping", with(0x3C, 0xFFFFFFFE), "not a program (no PE header)"},
      {"cut in the section table", good.substr(0, 0x80 + 24 + 224 + 50), "truncated headers"},
      {"cut in a section", good.substr(0, good.size() - 0x100), "lies past the end of the file"},
      {"no file data, at an offset past the end",
       with(relocationHeader + 16, 0, relocationHeader + 20, 0xFFFFFF00),
       "section .reloc lies past the end of the file"},
      {"ROM optional header", with(0x80 + 24, 0x107),
       "not a program (unknown optional header magic 0x0107)"},
      {"file alignment 3", with(0x80 + 24 + 36, 3), "unusable section or file alignment"},
      {"sections out of order", swapped, "out of order"},
  };
  for (const auto& c : cases) {
    PeHeaders headers;
    std::string error;
    EXPECT_FALSE(ReadPeHeaders(c.file, &headers, &error)) << c.what;
    EXPECT_NE(std::string::npos, error.find(c.reason)) << c.what << ": " << error;
  }
  // No prefix of a program reads as a program.
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    ResourceDirectory directory;
    std::string error;
    EXPECT_FALSE(Read(good.substr(0, cut), &directory, &error)) << cut;
  }
}

}  // namespace
