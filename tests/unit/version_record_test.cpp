// The version record as show prints it and the release tests compare it:
// read from a program made in memory, refused when damaged.
#include <gtest/gtest.h>

#include "pe_resources.h"
#include "pe_test_program.h"
#include "version_record.h"

namespace {

// VS_VERSIONINFO with its key and VS_FIXEDFILEINFO (file 2.0.0.1, product
// 2.1.0.7), no children.
std::string Record() {
  std::string record(92, '\0');
  const auto put16 = [&record](size_t at, uint16_t value) {
    record[at] = static_cast<char>(value & 0xFF);
    record[at + 1] = static_cast<char>(value >> 8);
  };
  put16(0, 92);
  put16(2, 52);
  const char key[] = "VS_VERSION_INFO";
  for (size_t i = 0; i < sizeof key; ++i) put16(6 + 2 * i, static_cast<unsigned char>(key[i]));
  PutLe32(&record, 40, 0xFEEF04BD);
  PutLe32(&record, 48, 0x00020000);
  PutLe32(&record, 52, 0x00000001);
  PutLe32(&record, 56, 0x00020001);
  PutLe32(&record, 60, 0x00000007);
  return record;
}

struct Case {
  const char* what;
  void (*damage)(std::string*);
  bool readable;
};

const Case kCases[] = {
    {"a whole record", [](std::string*) {}, true},
    {"cut inside the fixed part", [](std::string* r) { r->resize(80); }, false},
    {"a fixed part declared short", [](std::string* r) { (*r)[2] = 40; }, false},
    {"another key", [](std::string* r) { (*r)[6] = 'X'; }, false},
    {"no signature", [](std::string* r) { PutLe32(r, 40, 0); }, false},
};

TEST(VersionRecord, ReadWhereWholeRefusedWhereDamaged) {
  for (const Case& c : kCases) {
    std::string record = Record();
    c.damage(&record);
    const ResourceId type = ResourceId::Number(16), name = ResourceId::Number(1);
    const ResourceItem item{&type, &name, 0x0409, 0, record.data(),
                            static_cast<uint32_t>(record.size())};
    ResourceImage image;
    std::string error;
    ASSERT_TRUE(image.Load(ProgramWithResources({item}).Build(), &error)) << c.what << ": " << error;
    VersionNumbers numbers{"poison", "poison"};
    EXPECT_EQ(c.readable, ReadVersionNumbers(image, &numbers)) << c.what;
    if (c.readable) {
      EXPECT_EQ("2.0.0.1", numbers.file) << c.what;
      EXPECT_EQ("2.1.0.7", numbers.product) << c.what;
    }
  }
}

TEST(VersionRecord, NoneInAProgramWithoutOne) {
  ResourceImage image;
  std::string error;
  ASSERT_TRUE(image.Load(ProgramWithResources(SampleResources().items).Build(), &error)) << error;
  VersionNumbers numbers;
  EXPECT_FALSE(ReadVersionNumbers(image, &numbers));
}

}  // namespace
