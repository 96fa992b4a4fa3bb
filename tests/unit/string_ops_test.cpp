#include "base/string_ops.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core_test_helpers.h"

namespace {

struct TrimCase {
  const char* text;
  const char* trimmed;
};
void PrintTo(const TrimCase& c, std::ostream* os) { *os << Printable(c.text); }

class TrimWhitespaceTest : public testing::TestWithParam<TrimCase> {};

TEST_P(TrimWhitespaceTest, TrimsBothEndsInPlace) {
  const TrimCase& c = GetParam();
  // Exactly the string and its NUL on the heap: a look past either end is caught.
  ExactBytes storage(std::string(c.text) + '\0');
  TrimWhitespace(storage.data());
  EXPECT_STREQ(c.trimmed, storage.data()) << "from [" << c.text << "]";
}

INSTANTIATE_TEST_SUITE_P(Cases, TrimWhitespaceTest,
                         testing::Values(TrimCase{"  RUN \r\n", "RUN"},
                                         TrimCase{"\t\t\t", ""},
                                         TrimCase{"", ""},
                                         TrimCase{" ", ""},
                                         TrimCase{"RUN", "RUN"},
                                         TrimCase{"a b\tc", "a b\tc"},
                                         TrimCase{"\r\n\t x", "x"},
                                         TrimCase{"x \t\r\n", "x"},
                                         // Only space, tab, CR and LF count.
                                         TrimCase{"\vx\f", "\vx\f"},
                                         TrimCase{"\xA0x", "\xA0x"}));

// A null string is left alone: a process that trims one ends normally.
TEST(TrimWhitespace, NullIsLeftAlone) {
  EXPECT_EXIT((TrimWhitespace(nullptr), exit(0)), testing::ExitedWithCode(0), "");
}

// A 260-byte buffer on the heap, so that a write past it is caught.
struct HeapPathBuffer {
  ExactBytes bytes{kPathBufferSize, '#'};
  explicit HeapPathBuffer(const std::string& text) {
    memcpy(bytes.data(), text.c_str(), text.size() + 1);
  }
  const char* c_str() { return bytes.data(); }
};

TEST(AppendBounded, CutsTheSuffixAndReturnsTheFullLength) {
  struct {
    size_t existing;
    const char* suffix;
    size_t result;
    size_t stored;  // length of the string afterwards
  } cases[] = {
      {255, "\\Installer", 265, 259},
      {0, "\\Installer", 10, 10},
      {249, "\\Installer", 259, 259},
      {250, "\\Installer", 260, 259},
      {259, "x", 260, 259},
      {258, "x", 259, 259},
      {259, "", 259, 259},
      {3, "", 3, 3},
  };
  for (const auto& c : cases) {
    const std::string existing(c.existing, 'k');
    HeapPathBuffer buffer(existing);
    EXPECT_EQ(c.result, AppendBounded(buffer.bytes.array<kPathBufferSize>(), c.suffix))
        << c.existing << " + " << c.suffix;
    const std::string joined = (existing + c.suffix).substr(0, c.stored);
    EXPECT_EQ(joined, buffer.c_str()) << c.existing << " + " << c.suffix;
  }
}

TEST(AppendBounded, BufferWithoutTerminatorIsLeftAlone) {
  HeapPathBuffer buffer("");
  memset(buffer.bytes.data(), 'k', kPathBufferSize);
  EXPECT_EQ(kPathBufferSize + 10, AppendBounded(buffer.bytes.array<kPathBufferSize>(), "\\Installer"));
  EXPECT_EQ(std::string(kPathBufferSize, 'k'), buffer.bytes.str());
}

}  // namespace
