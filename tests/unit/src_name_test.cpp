#include "files/src_name.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_helpers.h"

namespace {

struct SplitCase {
  std::string src;
  const char* name;  // null: SplitSrcName fails
  const char* type;  // null: SplitSrcExt fails
};
void PrintTo(const SplitCase& c, std::ostream* os) { *os << Printable(c.src); }

class SplitSrcTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitSrcTest, SplitsIntoUpperCaseNameAndType) {
  const SplitCase& c = GetParam();
  // Exactly the documented room, so that a longer write is caught.
  ExactBytes name(kResourceNameSize, '#');
  ExactBytes type(kResourceTypeSize, '#');
  const bool gotName = SplitSrcName(c.src.c_str(), name.array<kResourceNameSize>());
  const bool gotType = SplitSrcExt(c.src.c_str(), type.array<kResourceTypeSize>());
  EXPECT_EQ(c.name != nullptr, gotName) << c.src;
  EXPECT_EQ(c.type != nullptr, gotType) << c.src;
  if (gotName) {
    MakeUpper(name.data());
    EXPECT_STREQ(c.name, name.data()) << c.src;
  }
  if (gotType) {
    MakeUpper(type.data());
    EXPECT_STREQ(c.type, type.data()) << c.src;
  }
  // What RUN and COPY call: both parts, upper-cased, or failure when either fails.
  ExactBytes resourceName(kResourceNameSize, '#');
  ExactBytes resourceType(kResourceTypeSize, '#');
  const bool split = SplitResourceSrc(c.src.c_str(), resourceName.array<kResourceNameSize>(),
                                       resourceType.array<kResourceTypeSize>());
  EXPECT_EQ(c.name && c.type, split) << c.src;
  if (split) {
    EXPECT_STREQ(c.name, resourceName.data()) << c.src;
    EXPECT_STREQ(c.type, resourceType.data()) << c.src;
  }
}

const std::string k63(63, 'n');
const std::string k64(64, 'n');
const std::string k63Upper(63, 'N');

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitSrcTest,
    testing::Values(SplitCase{"LUMENO2_ADMIN.EXE", "LUMENO2_ADMIN", "EXE"},
                    SplitCase{"LUMENO2_ADMIN.exe", "LUMENO2_ADMIN", "EXE"},
                    SplitCase{"sub\\Lumeno2_admin.EXE", "LUMENO2_ADMIN", "EXE"},
                    SplitCase{".EXE", nullptr, nullptr},  // a dot at position 0 does not count
                    SplitCase{"NAME", nullptr, nullptr},
                    SplitCase{"NAME.", "NAME", ""},
                    SplitCase{"A.B.EXE", "A.B", "EXE"},
                    SplitCase{"X\\Y\\NAME.EXE", "NAME", "EXE"},
                    SplitCase{"X\\.EXE", nullptr, nullptr},
                    SplitCase{"A.B\\NAME", nullptr, nullptr},  // dots before the backslash
                    SplitCase{"NAME.EXE\\", nullptr, nullptr},
                    SplitCase{"", nullptr, nullptr},
                    SplitCase{"..", ".", ""},
                    SplitCase{k63 + ".exe", k63Upper.c_str(), "EXE"},
                    SplitCase{k64 + ".exe", nullptr, "EXE"},
                    SplitCase{"N.ABCD", "N", "ABCD"},
                    SplitCase{"N.ABCDE", "N", nullptr},
                    SplitCase{"n\xE9.b1n", "N\xE9", "B1N"}));

TEST(SplitSrc, NullFails) {
  char name[kResourceNameSize], type[kResourceTypeSize];
  EXPECT_FALSE(SplitSrcName(nullptr, name));
  EXPECT_FALSE(SplitSrcExt(nullptr, type));
  EXPECT_FALSE(SplitResourceSrc(nullptr, name, type));
}

TEST(MakeUpper, OnlyAsciiLettersChange) {
  char text[] = "az AZ 09_.-\xE9\xFF`{@[";
  MakeUpper(text);
  EXPECT_STREQ("AZ AZ 09_.-\xE9\xFF`{@[", text);
  MakeUpper(nullptr);
}

}  // namespace
