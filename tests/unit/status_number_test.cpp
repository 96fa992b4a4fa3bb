#include "events/status_number.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(ParseStatusNumber, DecimalPrefixWithSignAndClamping) {
  struct {
    const char* text;
    int value;
  } cases[] = {
      {"12", 12},
      {"0", 0},
      {"-2", -2},
      {" +7x", 7},
      {"\t\r\n\v\f 5", 5},
      {"1 2", 1},
      {"007", 7},
      {"abc", 0},
      {"x12", 0},
      {"", 0},
      {"-", 0},
      {"+-3", 0},
      {"- 3", 0},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"99999999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN},
      {"-99999999999999999999999", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value, ParseStatusNumber(c.text)) << "[" << c.text << "]";
  EXPECT_EQ(0, ParseStatusNumber(nullptr));
}

}  // namespace
