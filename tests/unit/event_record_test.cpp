#include "events/event_record.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_helpers.h"

namespace {

// An event content as the walk hands it over, and a record of its capacity.
class ReadRecord {
 public:
  ReadRecord() = default;
  ~ReadRecord() {
    if (allocated_) FreeEventRecord(&record_);
  }
  const EventRecord& Read(const std::string& content, size_t capacity = 0) {
    if (capacity == 0) capacity = content.size();
    if (!allocated_) {
      EXPECT_TRUE(AllocEventRecord(&record_, capacity));
      allocated_ = true;
    }
    text_ = content;
    ReadEventRecord(TextBlock{&text_[0], capacity}, &record_);
    return record_;
  }

 private:
  EventRecord record_{};
  bool allocated_ = false;
  std::string text_;
};

TEST(ReadEventRecord, ReadsAllTenInAnyOrderTrimmingAllButSelfcmdline) {
  ReadRecord reader;
  const EventRecord& record = reader.Read(
      "<selfcmdline> 1 </selfcmdline><lumenoshutdown> 1</lumenoshutdown>"
      "<elevated>1 </elevated><hidden>\t1\r\n</hidden><status> 12 </status>"
      "<title> T </title><cmdline> /a  /b </cmdline><dst> d\\e </dst>"
      "<src> LUMENO2_ADMIN.EXE </src><type> RUN </type>");
  const char* expected[kEventFieldCount] = {
      "RUN", "LUMENO2_ADMIN.EXE", "d\\e", "/a  /b", "T", "12", "1", "1", "1", " 1 "};
  for (int i = 0; i < kEventFieldCount; ++i) {
    EXPECT_STREQ(expected[i], record.Get(static_cast<EventField>(i))) << kEventFieldNames[i];
  }
}

TEST(ReadEventRecord, FirstOfDuplicatesMissingStaysEmpty) {
  ReadRecord reader;
  const EventRecord& record =
      reader.Read("<src>first</src><type>COPY</type><src>second</src><dst></dst><x>y</x>");
  EXPECT_STREQ("first", record.Get(kFieldSrc));
  EXPECT_STREQ("COPY", record.Get(kFieldType));
  for (EventField field : {kFieldDst, kFieldCmdline, kFieldTitle, kFieldStatus, kFieldHidden,
                           kFieldElevated, kFieldLumenoShutdown, kFieldSelfCmdline}) {
    EXPECT_TRUE(record.Empty(field)) << kEventFieldNames[field] << " = " << record.Get(field);
  }
}

TEST(ReadEventRecord, AReusedRecordForgetsThePreviousEvent) {
  ReportLog log;
  ReadRecord reader;
  const std::string first =
      "<type>CREATEMUTEX</type><title>Guard</title><src>s</src><status>4</status>"
      "<selfcmdline>1</selfcmdline>";
  reader.Read(first, 200);
  const EventRecord& second = reader.Read("<type>FAILONMUTEX</type><title>x", 200);
  EXPECT_STREQ("FAILONMUTEX", second.Get(kFieldType));
  EXPECT_TRUE(second.Empty(kFieldTitle)) << "unclosed: " << second.Get(kFieldTitle);
  EXPECT_TRUE(second.Empty(kFieldSrc));
  EXPECT_TRUE(second.Empty(kFieldStatus));
  EXPECT_FALSE(second.Flag(kFieldSelfCmdline));
  EXPECT_EQ(std::vector<std::string>{"Failed to get data for tag: <title>\n"}, log.printed());
}

TEST(EventRecordFlag, OnOnlyForExactlyOne) {
  struct {
    const char* element;
    bool on;
  } cases[] = {
      {"<hidden>1</hidden>", true},
      {"<hidden> 1 </hidden>", true},  // trimmed first
      {"<hidden>\r\n1\t</hidden>", true},
      {"<hidden>01</hidden>", false},
      {"<hidden>1 1</hidden>", false},
      {"<hidden>true</hidden>", false},
      {"<hidden></hidden>", false},
      {"", false},
      {"<selfcmdline>1</selfcmdline>", true},
      {"<selfcmdline>\t1\r\n</selfcmdline>", true},  // dropped by the reader
      {"<selfcmdline> 1 </selfcmdline>", false},     // spaces are kept
      {"<selfcmdline>1 </selfcmdline>", false},
  };
  for (const auto& c : cases) {
    ReadRecord reader;
    const EventRecord& record = reader.Read(std::string("<type>RUN</type>") + c.element);
    const EventField field =
        strstr(c.element, "selfcmdline") ? kFieldSelfCmdline : kFieldHidden;
    EXPECT_EQ(c.on, record.Flag(field)) << c.element;
  }
}

}  // namespace
