// The two reports cut what does not fit their buffers, exactly: ReportError
// keeps 2047 characters of a longer message, PrintText 259 of a longer line,
// each terminated, with nothing written past either buffer.
#include "base/report.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_helpers.h"

namespace {

TEST(ReportError, MessageLongerThan2048BytesIsCutTo2047Characters) {
  const std::string head = "ExtractFile - CreateFile failed name=";
  const std::string name(3000, 'n');
  struct {
    std::string expected;
    std::string argument;
  } cases[] = {
      {std::string(2047, 'n'), name.substr(0, 2047)},  // exactly what fits
      {std::string(2047, 'n'), name.substr(0, 2048)},  // one more
      {(head + name).substr(0, 2047), name},
  };
  for (const auto& c : cases) {
    ReportLog reports;
    ReportError("%s", c.argument.c_str());
    ReportError("%s%s, GetLastError()=%d", head.c_str(), c.argument.c_str(), 5);
    ASSERT_EQ(2u, reports.errors().size());
    EXPECT_EQ(c.argument.substr(0, 2047), reports.errors()[0]);
    EXPECT_EQ((head + c.argument + ", GetLastError()=5").substr(0, 2047), reports.errors()[1]);
  }
  ReportLog reports;
  ReportError("%s|%d", std::string(2040, 'x').c_str(), 123456789);
  EXPECT_EQ(std::vector<std::string>{std::string(2040, 'x') + "|123456"}, reports.errors());
}

TEST(PrintText, LineLongerThan260BytesIsCutTo259Characters) {
  for (size_t length : {228u, 229u, 300u}) {
    SCOPED_TRACE(length);
    const std::string name(length, 't');
    ReportLog reports;
    PrintText("Failed to get data for tag: <%s>\n", name.c_str());
    const std::string whole = "Failed to get data for tag: <" + name + ">\n";
    ASSERT_EQ(1u, reports.printed().size());
    EXPECT_EQ(whole.substr(0, 259), reports.printed()[0]);
  }
}

}  // namespace
