#include "base/text_block.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_helpers.h"

namespace {

TEST(CopyToTextBlock, CopiesUpToCapacityAndTerminates) {
  struct {
    const char* source;
    size_t count;
    bool copied;
    const char* chars;  // afterwards
  } cases[] = {
      {"abcd", 4, true, "abcd"},   // count == capacity: the NUL goes to the extra byte
      {"abcd", 2, true, "ab"},
      {"abcd", 0, true, ""},
      {"abcde", 5, false, "####"},  // one more than the capacity
      {nullptr, 0, false, "####"},
  };
  for (const auto& c : cases) {
    ExactBytes storage(5, '#');  // capacity 4 and room for the NUL
    storage.data()[4] = '\0';
    TextBlock block{storage.data(), 4};
    EXPECT_EQ(c.copied, CopyToTextBlock(c.source, c.count, &block))
        << (c.source ? c.source : "(null)") << " x" << c.count;
    EXPECT_STREQ(c.chars, block.chars) << (c.source ? c.source : "(null)") << " x" << c.count;
  }
}

}  // namespace
