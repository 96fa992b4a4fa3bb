#include "base/tag_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_helpers.h"

namespace {

// A literal as bytes, embedded NULs included.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string FailureLine(const std::string& name) {
  return "Failed to get data for tag: <" + name + ">\n";
}

// ---------------------------------------------------------------- ReadTagName

struct TagCase {
  std::string text;  // the region: exactly these bytes, no terminator
  int kind;
  const char* name;  // expected name (well-formed tags only)
  size_t consumed;   // bytes from '<' to the cursor afterwards (well-formed only)
};
void PrintTo(const TagCase& c, std::ostream* os) { *os << Printable(c.text); }

class ReadTagNameTest : public testing::TestWithParam<TagCase> {};

TEST_P(ReadTagNameTest, ReadsKindNameAndEnd) {
  const TagCase& c = GetParam();
  ExactBytes region(c.text);
  const char* cursor = region.data();
  char name[kTagNameSize];
  memset(name, '#', sizeof name);
  const int kind = ReadTagName(&cursor, name, region.size());
  EXPECT_EQ(c.kind, kind) << "tag [" << c.text << "]";
  EXPECT_NE(nullptr, memchr(name, '\0', sizeof name)) << "name not terminated";
  EXPECT_GE(cursor, region.data());
  EXPECT_LE(cursor, region.data() + region.size());
  if (kind != kTagMalformed) {
    EXPECT_STREQ(c.name, name);
    EXPECT_EQ(c.consumed, static_cast<size_t>(cursor - region.data()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadTagNameTest,
    testing::Values(TagCase{"<a>", kTagOpening, "a", 3},
                    TagCase{"</a>", kTagClosing, "a", 4},
                    TagCase{"<a>rest", kTagOpening, "a", 3},
                    TagCase{"<event id=\"1\">", kTagOpening, "event id=\"1\"", 14},
                    // The first character after '<' or '</' always belongs to the name.
                    TagCase{"<>>", kTagOpening, ">", 3},
                    TagCase{"</>>", kTagClosing, ">", 4},
                    TagCase{"<//>", kTagClosing, "/", 4},
                    TagCase{"<!-- c -->", kTagOpening, "!-- c --", 10},
                    // The '>' must lie inside the region.
                    TagCase{"<", kTagMalformed, nullptr, 0},
                    TagCase{"</", kTagMalformed, nullptr, 0},
                    TagCase{"<a", kTagMalformed, nullptr, 0},
                    TagCase{"</abc", kTagMalformed, nullptr, 0},
                    TagCase{"<>", kTagMalformed, nullptr, 0},
                    TagCase{"<a <b>", kTagOpening, "a <b", 6}));

TEST(ReadTagName, NullCursorIsMalformed) {
  char name[kTagNameSize];
  EXPECT_EQ(kTagMalformed, ReadTagName(nullptr, name, 10));
  const char* nothing = nullptr;
  EXPECT_EQ(kTagMalformed, ReadTagName(&nothing, name, 10));
}

TEST(ReadTagName, NamesUpTo259CharactersFit) {
  struct {
    size_t length;
    int kind;
  } cases[] = {{1, kTagOpening}, {258, kTagOpening}, {259, kTagOpening},
               {260, kTagMalformed}, {400, kTagMalformed}};
  for (const auto& c : cases) {
    for (const char* open : {"<", "</"}) {
      const std::string longName(c.length, 'n');
      ExactBytes region(open + longName + ">");
      const char* cursor = region.data();
      char name[kTagNameSize];
      const int kind = ReadTagName(&cursor, name, region.size());
      const int expected = c.kind == kTagOpening && open[1] ? kTagClosing : c.kind;
      EXPECT_EQ(expected, kind) << "name of " << c.length << " after " << open;
      if (kind != kTagMalformed) {
        EXPECT_EQ(longName, name);
      }
    }
  }
}

// ---------------------------------------------------------------- FindOpenTag

struct FindCase {
  std::string text;
  const char* name;
  int result;
  size_t cursorAfter;  // checked when the result is not -1
};
void PrintTo(const FindCase& c, std::ostream* os) { *os << c.name << " in " << Printable(c.text); }

class FindOpenTagTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindOpenTagTest, FindsFirstOpeningTagFlat) {
  const FindCase& c = GetParam();
  ExactBytes region(c.text);
  const char* cursor = region.data();
  EXPECT_EQ(c.result, FindOpenTag(&cursor, region.size(), c.name)) << "[" << c.text << "]";
  EXPECT_GE(cursor, region.data());
  EXPECT_LE(cursor, region.data() + region.size());
  if (c.result != -1) {
    EXPECT_EQ(c.cursorAfter, static_cast<size_t>(cursor - region.data()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindOpenTagTest,
    testing::Values(FindCase{"xx<b>y</b><a>z", "a", 1, 13},
                    FindCase{"<b><c><a>", "a", 1, 9},  // nesting is ignored
                    FindCase{"</a><a>", "a", 1, 7},    // closing tags are stepped over
                    FindCase{"<b></b>", "a", 0, 7},
                    FindCase{"", "a", 0, 0},
                    FindCase{"no tags at all", "a", 0, 14},
                    FindCase{"<A>", "a", 0, 3},
                    FindCase{"<a b=\"1\">", "a", 0, 9},
                    FindCase{"<b><a", "a", -1, 0},
                    FindCase{"<b", "a", -1, 0},
                    FindCase{"x<", "a", -1, 0}));

// ----------------------------------------------------------------- GetTagData

constexpr int kWholeText = -100;  // the element ends with the text

struct DataCase {
  const char* label;
  const char* name;
  std::string text;
  int result;
  const char* output;  // null: the output must be left exactly as it was
  bool printsFailure;
};
void PrintTo(const DataCase& c, std::ostream* os) { *os << c.label; }

class GetTagDataTest : public testing::TestWithParam<DataCase> {};

TEST_P(GetTagDataTest, CopiesContent) {
  const DataCase& c = GetParam();
  ReportLog log;
  ExactBytes region(c.text);
  // Like the program: an output of the capacity of the text it is read from.
  const size_t capacity = c.text.size() + 1;
  ExactBytes output(capacity, '#');
  const int result = GetTagData(c.name, region.data(), region.size(), output.data(), capacity);
  const int expected = c.result == kWholeText ? static_cast<int>(c.text.size()) : c.result;
  EXPECT_EQ(expected, result);
  if (c.output) {
    EXPECT_STREQ(c.output, output.data());
  } else {
    EXPECT_EQ(std::string(capacity, '#'), output.str()) << "output was touched";
  }
  if (c.printsFailure) {
    EXPECT_EQ(std::vector<std::string>{FailureLine(c.name)}, log.printed());
  } else {
    EXPECT_TRUE(log.printed().empty()) << log.printed().front();
  }
  EXPECT_TRUE(log.errors().empty()) << "the tag reader never reports errors";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetTagDataTest,
    testing::Values(
        DataCase{"InnerElement", "type", "<a><type>RUN</type></a>", 19, "RUN", false},
        DataCase{"SpacesKept", "type", "<type> RUN </type>", 18, " RUN ", false},
        DataCase{"CrLfDropped", "type", "<type>RU\r\nN</type>", 18, "RUN", false},
        DataCase{"TabAndNulDropped", "type", Bytes("<type>\tR\0UN\t</type>"), 19, "RUN", false},
        DataCase{"NamesAreCaseSensitive", "type", "<TYPE>RUN</TYPE>", -1, nullptr, false},
        DataCase{"FirstOfTwoEvents", "event",
                 "<event><type>A</type></event><event><type>B</type></event>", 29,
                 "<type>A</type>", false},
        DataCase{"AttributesMakeAnotherName", "event", "<event id=\"1\"><type>A</type></event>",
                 -1, nullptr, false},
        DataCase{"FlatSearchIgnoresOddParent", "type", "<event id=\"1\"><type>A</type></event>",
                 28, "A", false},
        DataCase{"FlatSearchAtDepth", "a", "<b><c><a>in</a></c></b>", 15, "in", false},
        DataCase{"ClosingBeforeOpening", "a", "</a><a>x</a>", kWholeText, "x", false},
        DataCase{"TextAfterElementIgnored", "a", "<a>x</a>tail", 8, "x", false},
        DataCase{"EmptyContent", "a", "<a></a>", 7, "", false},
        DataCase{"BracketAsName", ">", "<>>x</>>", 8, "x", false},
        DataCase{"EntitiesAsTheyStand", "cmdline", "<cmdline>&lt;a&amp;b&gt;</cmdline>",
                 kWholeText, "&lt;a&amp;b&gt;", false},
        DataCase{"CdataIsATag", "src", "<src><![CDATA[x<y]]></src>", kWholeText,
                 "<![CDATA[x<y]]>", false},
        DataCase{"CommentIsATag", "src", "<src><!-- note -->x</src>", kWholeText,
                 "<!-- note -->x", false},
        DataCase{"OtherClosingTagReemitted", "a", "<a>1</b>2</a>", kWholeText, "1</b>2", false},
        DataCase{"NestedSameNameEndsAtFirstClose", "x", "<x><x>1</x>2</x>", 11, "<x>1", false},
        // "< b</cmdline>" is an opening tag named " b</cmdline"; the read goes on.
        DataCase{"LessThanInContent", "cmdline", "<cmdline>a < b</cmdline> c</cmdline>",
                 kWholeText, "a < b</cmdline> c", false},
        DataCase{"LessThanInContentSwallowsClose", "cmdline", "<cmdline>a < b</cmdline>", -1, "",
                 true},
        DataCase{"Unclosed", "type", "<type>RUN", -1, "", true},
        DataCase{"UnclosedAfterInnerTags", "a", "<a><b>x</b>", -1, "", true},
        // A malformed tag inside the content keeps what was copied, silently.
        DataCase{"LessThanAtEndOfContent", "a", "<a>x<", -1, "x", false},
        DataCase{"SlashAtEndOfContent", "a", "<a>xy</", -1, "xy", false},
        DataCase{"LessThanAtEndBeforeElement", "b", "<a>x</a><", -1, nullptr, false},
        DataCase{"NotFound", "b", "<a>x</a>", -1, nullptr, false},
        DataCase{"EmptyRegion", "a", "", -1, nullptr, false}));

TEST(GetTagData, SecondEventIsReadFromTheReturnedOffset) {
  const std::string text = "<event><type>A</type></event><event><type>B</type></event>";
  ExactBytes region(text);
  char output[64];
  ASSERT_EQ(29, GetTagData("event", region.data(), region.size(), output, sizeof output));
  const int second =
      GetTagData("event", region.data() + 29, region.size() - 29, output, sizeof output);
  EXPECT_EQ(29, second);
  EXPECT_STREQ("<type>B</type>", output);
  EXPECT_EQ(-1, GetTagData("event", region.data() + 58, region.size() - 58, output, sizeof output));
}

TEST(GetTagData, NoByteBeyondTheRegionIsUsed) {
  // The buffer holds a complete element; the region stops short of it.
  ExactBytes buffer(std::string("<a>xy</a>"));
  struct {
    size_t length;
    int result;
    const char* output;
    bool prints;
  } cases[] = {
      {9, 9, "xy", false},
      {8, -1, "xy", false},  // "</a" without its '>': malformed
      {5, -1, "", true},     // "<a>xy": never closed
      {2, -1, "####", false},  // "<a": malformed before any element
  };
  for (const auto& c : cases) {
    ReportLog log;
    char output[5];
    memset(output, '#', 4);
    output[4] = '\0';
    EXPECT_EQ(c.result, GetTagData("a", buffer.data(), c.length, output, 4)) << c.length;
    EXPECT_STREQ(c.output, output) << c.length;
    EXPECT_EQ(c.prints ? 1u : 0u, log.printed().size()) << c.length;
  }
}

TEST(GetTagData, NullStartFails) {
  char output[4] = "##";
  EXPECT_EQ(-1, GetTagData("a", nullptr, 10, output, sizeof output));
  EXPECT_STREQ("##", output);
}

TEST(GetTagData, TagNamesOf259CharactersAreRead) {
  const std::string name259(259, 'n');
  const std::string name260(260, 'n');
  ExactBytes fits("<" + name259 + ">x</" + name259 + ">");
  char output[8];
  EXPECT_EQ(static_cast<int>(fits.size()),
            GetTagData(name259.c_str(), fits.data(), fits.size(), output, sizeof output));
  EXPECT_STREQ("x", output);

  ReportLog log;
  // Before the element: malformed, the output untouched.
  ExactBytes before("<" + name260 + "><a>x</a>");
  memcpy(output, "#######", 8);
  EXPECT_EQ(-1, GetTagData("a", before.data(), before.size(), output, sizeof output));
  EXPECT_STREQ("#######", output);
  // Inside the content: malformed, what was copied stays.
  ExactBytes inside("<a>x<" + name260 + ">y</a>");
  std::string big(400, '#');
  EXPECT_EQ(-1, GetTagData("a", inside.data(), inside.size(), &big[0], big.size()));
  EXPECT_STREQ("x", big.c_str());
  EXPECT_TRUE(log.printed().empty());
}

struct CapacityCase {
  std::string content;
  size_t capacity;
  const char* output;  // null: does not fit
};
void PrintTo(const CapacityCase& c, std::ostream* os) {
  *os << Printable(c.content) << " in " << c.capacity;
}

class GetTagDataCapacityTest : public testing::TestWithParam<CapacityCase> {};

TEST_P(GetTagDataCapacityTest, HoldsAtMostCapacityMinusOneCharacters) {
  const CapacityCase& c = GetParam();
  ReportLog log;
  ExactBytes region("<e>" + c.content + "</e>");
  ExactBytes output(c.capacity, '#');
  const int result = GetTagData("e", region.data(), region.size(), output.data(), c.capacity);
  if (c.output) {
    EXPECT_EQ(static_cast<int>(region.size()), result);
    if (c.capacity > 0) {
      EXPECT_STREQ(c.output, output.data());
    }
    EXPECT_TRUE(log.printed().empty());
  } else {
    EXPECT_EQ(-1, result);
    if (c.capacity > 0) {
      EXPECT_EQ('\0', output.data()[0]);
    }
    EXPECT_EQ(std::vector<std::string>{FailureLine("e")}, log.printed());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, GetTagDataCapacityTest,
                         testing::Values(CapacityCase{"abcd", 5, "abcd"},
                                         CapacityCase{"abcd", 4, nullptr},
                                         CapacityCase{"<b>", 4, "<b>"},
                                         CapacityCase{"<b>", 3, nullptr},
                                         CapacityCase{"</b>", 5, "</b>"},
                                         CapacityCase{"</b>", 4, nullptr},
                                         CapacityCase{"x<b>", 4, nullptr},
                                         // Dropped characters take no room.
                                         CapacityCase{"a\r\nb\t", 3, "ab"},
                                         CapacityCase{"", 1, ""},
                                         CapacityCase{"x", 1, nullptr},
                                         // Nothing at all may be written.
                                         CapacityCase{"", 0, ""},
                                         CapacityCase{"x", 0, nullptr}));

}  // namespace
