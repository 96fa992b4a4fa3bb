// What show prints of a file's bytes.
#include "printable_text.h"

#include <gtest/gtest.h>

namespace {

TEST(PrintableText, EscapesEveryByteOutsidePrintableAscii) {
  const struct {
    std::string bytes;
    bool keepLineBreaks;
    std::string shown;
  } cases[] = {
      {"campaign=spring&source=mail ~", false, "campaign=spring&source=mail ~"},
      {"\x1b[31mred\x1b[0m", false, "\\x1B[31mred\\x1B[0m"},
      {std::string("\0\x7f\x80\xff", 4), true, "\\x00\\x7F\\x80\\xFF"},
      {"a\r\n\tb\n", false, "a\\x0D\\x0A\\x09b\\x0A"},
      {"a\r\n\tb\n", true, "a\r\n\tb\n"},
      // A carriage return that is not a line end would let text overwrite text.
      {"shown\rhidden\r", true, "shown\\x0Dhidden\\x0D"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, PrintableText(c.bytes, c.keepLineBreaks));
}

}  // namespace
