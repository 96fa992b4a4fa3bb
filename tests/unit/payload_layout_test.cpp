#include "payload/payload_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_test_helpers.h"

namespace {

// A text block holding text, with capacity = its length, as the program
// builds one from a resource.
class Block {
 public:
  explicit Block(const std::string& text) : bytes_(text.size() + 1, '#') {
    memcpy(bytes_.data(), text.c_str(), text.size() + 1);
  }
  TextBlock block() { return TextBlock{bytes_.data(), bytes_.size() - 1}; }

 private:
  ExactBytes bytes_;
};

// An empty block of the given capacity.
class Buffer {
 public:
  explicit Buffer(size_t capacity) : bytes_(capacity + 1, '#') { bytes_.data()[0] = '\0'; }
  TextBlock* block() {
    block_ = TextBlock{bytes_.data(), bytes_.size() - 1};
    return &block_;
  }

 private:
  ExactBytes bytes_;
  TextBlock block_;
};

// ---------------------------------------------------------- ReadPayloadContent

struct ContentCase {
  std::string text;
  const char* content;  // null: no payload
  bool printsFailure;
};
void PrintTo(const ContentCase& c, std::ostream* os) { *os << Printable(c.text); }

class ReadPayloadContentTest : public testing::TestWithParam<ContentCase> {};

TEST_P(ReadPayloadContentTest, TakesTheFirstPayloadElement) {
  const ContentCase& c = GetParam();
  ReportLog log;
  Block text(c.text);
  Buffer content(c.text.size());
  const LayoutStatus status = ReadPayloadContent(text.block(), content.block());
  if (c.content) {
    EXPECT_EQ(kLayoutOk, status);
    EXPECT_STREQ(c.content, content.block()->chars);
  } else {
    EXPECT_EQ(kLayoutNoPayload, status);
    EXPECT_STREQ("Cant find payload tag", LayoutMessage(status));
  }
  EXPECT_EQ(c.printsFailure ? 1u : 0u, log.printed().size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadPayloadContentTest,
    testing::Values(
        ContentCase{"<payload><a>1</a></payload>", "<a>1</a>", false},
        ContentCase{"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- made by hand -->\r\n"
                    "<payload>\r\n\tx\r\n</payload>\r\n",
                    "x", false},
        ContentCase{"<doc><payload>a</payload><payload>b</payload></doc>", "a", false},
        ContentCase{"<Payload>x</Payload>", nullptr, false},
        ContentCase{"<PAYLOAD>x</PAYLOAD>", nullptr, false},
        ContentCase{"", nullptr, false},
        ContentCase{"<payload>x", nullptr, true},
        ContentCase{"<payload>x</payload", nullptr, false}));

// ---------------------------------------------------------- ReadPayloadSettings

const char kSettings[] =
    "<rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>SOFTWARE\\K\\L</subkey>"
    "<installkey>InstallPath</installkey>";

struct SettingsCase {
  const char* label;
  std::string content;
  const char* message;  // null: the settings are good
};
void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.label; }

class ReadPayloadSettingsTest : public testing::TestWithParam<SettingsCase> {};

TEST_P(ReadPayloadSettingsTest, FirstFailureInOrder) {
  const SettingsCase& c = GetParam();
  Block content(c.content);
  PayloadSettings settings;
  ASSERT_TRUE(AllocPayloadSettings(&settings, c.content.size()));
  const LayoutStatus status = ReadPayloadSettings(content.block(), &settings);
  if (c.message) {
    EXPECT_NE(kLayoutOk, status);
    EXPECT_STREQ(c.message, LayoutMessage(status));
  } else {
    EXPECT_EQ(kLayoutOk, status) << LayoutMessage(status);
    EXPECT_STREQ("HKEY_LOCAL_MACHINE", settings.rootkey.chars);
    EXPECT_STREQ("SOFTWARE\\K\\L", settings.subkey.chars);
    EXPECT_STREQ("InstallPath", settings.installkey.chars);
  }
  FreePayloadSettings(&settings);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadPayloadSettingsTest,
    testing::Values(
        SettingsCase{"AllThree", kSettings, nullptr},
        SettingsCase{"Trimmed",
                     "<installkey>\tInstallPath </installkey><subkey> SOFTWARE\\K\\L\r\n</subkey>"
                     "<rootkey>  HKEY_LOCAL_MACHINE </rootkey>",
                     nullptr},
        SettingsCase{"AfterTheEvents",
                     std::string("<event><type>X</type></event>") + kSettings, nullptr},
        SettingsCase{"FirstOfEachNameCounts",
                     std::string(kSettings) + "<rootkey>other</rootkey>", nullptr},
        SettingsCase{"InsideAnEventCountsWhenFirst",
                     "<event><rootkey>HKEY_LOCAL_MACHINE</rootkey></event><rootkey>x</rootkey>"
                     "<subkey>SOFTWARE\\K\\L</subkey><installkey>InstallPath</installkey>",
                     nullptr},
        SettingsCase{"NoRootkey", "<subkey>s</subkey><installkey>i</installkey>",
                     "Cant find rootkey tag"},
        SettingsCase{"UnclosedRootkey", "<rootkey>r<subkey>s</subkey><installkey>i</installkey>",
                     "Cant find rootkey tag"},
        SettingsCase{"NoSubkeyBeforeEmptyRootkey", "<rootkey> </rootkey><installkey>i</installkey>",
                     "Cant find subkey tag"},
        SettingsCase{"NoInstallkeyBeforeEmptySubkey",
                     "<rootkey>r</rootkey><subkey></subkey>", "Cant find installkey tag"},
        SettingsCase{"CaseSensitive", "<RootKey>r</RootKey><subkey>s</subkey><installkey>i</installkey>",
                     "Cant find rootkey tag"},
        SettingsCase{"EmptyRootkey",
                     "<rootkey> </rootkey><subkey></subkey><installkey></installkey>",
                     "rootkey is empty"},
        SettingsCase{"EmptySubkey",
                     "<rootkey>r</rootkey><subkey>\t\r\n</subkey><installkey></installkey>",
                     "subkey is empty"},
        SettingsCase{"EmptyInstallkey",
                     "<rootkey>r</rootkey><subkey>s</subkey><installkey>  </installkey>",
                     "installkey is empty"}));

// ------------------------------------------------------------------ NextEvent

std::vector<std::string> AllEvents(const std::string& text) {
  Block content(text);
  Buffer event(text.size());
  EventCursor cursor = StartEvents(content.block());
  std::vector<std::string> events;
  const char* previous = cursor.position;
  while (NextEvent(&cursor, event.block())) {
    events.emplace_back(event.block()->chars);
    EXPECT_GT(cursor.position, previous) << "the walk must move forward";
    EXPECT_LE(cursor.position, cursor.end);
    previous = cursor.position;
    if (events.size() > text.size()) break;
  }
  return events;
}

TEST(NextEvent, StepsThroughEventsInDocumentOrder) {
  using Events = std::vector<std::string>;
  ReportLog log;
  EXPECT_EQ(Events{}, AllEvents(kSettings));
  EXPECT_EQ((Events{"a", "b", "c"}),
            AllEvents(std::string(kSettings) + "<event>a</event>x<other><event>b</event></other>"
                      "<EVENT>no</EVENT><event id=\"2\">no</event><event>c</event>"));
  // A nested event ends the outer one at its own closing tag.
  EXPECT_EQ((Events{"a<event>b", "d"}),
            AllEvents("<event>a<event>b</event>c</event><event>d</event>"));
  // Dropped characters still count for the position of the next event.
  EXPECT_EQ((Events{"A", "B"}), AllEvents("<event>\r\n\tA\r\n</event>\r\n<event>\tB</event>"));
  EXPECT_TRUE(log.printed().empty());
}

TEST(NextEvent, UnclosedOrMalformedLastEventEndsTheWalk) {
  using Events = std::vector<std::string>;
  {
    ReportLog log;
    EXPECT_EQ((Events{"a", "b"}), AllEvents("<event>a</event><event>b</event><event>c"));
    EXPECT_EQ(std::vector<std::string>{"Failed to get data for tag: <event>\n"}, log.printed());
  }
  {
    ReportLog log;
    EXPECT_EQ((Events{"a"}), AllEvents("<event>a</event><bad"));
    EXPECT_TRUE(log.printed().empty());
  }
}

}  // namespace
