#include "driver/command_line.h"

#include <gtest/gtest.h>

namespace {

struct TailCase {
  const char* commandLine;
  const char* tail;
};

class CommandLineTailTest : public testing::TestWithParam<TailCase> {};

TEST_P(CommandLineTailTest, SkipsProgramNameAndBlanks) {
  const TailCase& c = GetParam();
  EXPECT_STREQ(c.tail, CommandLineTail(c.commandLine)) << "command line [" << c.commandLine << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTailTest,
    testing::Values(
        TailCase{"setup.exe", ""},
        TailCase{"\"C:\\Program Files\\setup.exe\"", ""},
        TailCase{"\"C:\\Program Files\\setup.exe\"   ", ""},
        TailCase{"setup.exe /S", "/S"},
        TailCase{"setup.exe \t /S /L", "/S /L"},
        TailCase{"\"C:\\a b\\setup.exe\" /S \"x y\"", "/S \"x y\""},
        // A quote in the middle of the name toggles: the blank inside is kept.
        TailCase{"C:\\a\" b\"\\setup.exe /S", "/S"},
        // An unclosed quote swallows the rest into the name.
        TailCase{"\"C:\\a b\\setup.exe /S", ""},
        // Control characters count as blanks; bytes above 0x7F do not.
        TailCase{"setup.exe\x01\x1f/S", "/S"},
        TailCase{"s\xe9tup.exe \xe9", "\xe9"},
        TailCase{"", ""}));

TEST(CommandLineTail, NullGivesEmpty) { EXPECT_STREQ("", CommandLineTail(nullptr)); }

}  // namespace
