#include "events/dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/process_state.h"
#include "named_mutexes.h"
#include "report_capture.h"

namespace {

using Texts = std::vector<std::string>;

// Runs one event as the walk does, with an event block of the content's size.
int Dispatch(const std::string& content, EventRecord* workspace = nullptr) {
  std::string storage = content;
  TextBlock event{&storage[0], content.size()};
  return ProcessEvent("HKEY_LOCAL_MACHINE", "SOFTWARE\\Korvex\\Lumeno\\Lumeno2", event,
                      GetModuleHandleA(nullptr), "InstallPath", workspace);
}

class ProcessEventTest : public testing::Test {
 protected:
  void SetUp() override { ResetProcessState(); }
  void TearDown() override { ResetProcessState(); }
  ReportCapture reports_;
};

TEST_F(ProcessEventTest, EmptyOrUnknownTypeFailsSilently) {
  const char* types[] = {
      "",
      "<type></type>",
      "<type> \t\r\n</type>",
      "<type>createmutex</type>",
      "<type>CreateMutex</type>",
      "<type>CREATEMUTEXX</type>",
      "<type>CREATE MUTEX</type>",
      "<TYPE>CREATEMUTEX</TYPE>",
      "<type id=\"1\">CREATEMUTEX</type>",
      "<type>NOSUCHTYPE</type>",
  };
  for (const char* type : types) {
    const std::string name = UniqueMutexName("untyped");
    EXPECT_EQ(-1, Dispatch(std::string(type) + "<title>" + name + "</title>")) << type;
    EXPECT_FALSE(MutexExists(name)) << type;
  }
  EXPECT_EQ(Texts{}, reports_.errors());
}

TEST_F(ProcessEventTest, TypeIsTrimmedAndTheFirstOneCounts) {
  const std::string trimmed = UniqueMutexName("trimmed");
  EXPECT_EQ(0, Dispatch("<type> CREATEMUTEX \r\n</type><title> " + trimmed + " </title>"));
  EXPECT_TRUE(MutexExists(trimmed));

  // FAILONMUTEX would fail for want of a status; the first type element wins.
  const std::string first = UniqueMutexName("first");
  EXPECT_EQ(0, Dispatch("<title>" + first +
                        "</title><type>CREATEMUTEX</type><type>FAILONMUTEX</type>"));
  EXPECT_TRUE(MutexExists(first));
  EXPECT_EQ(Texts{}, reports_.errors());
}

// Every one of these types needs an attribute that the event lacks, so each
// fails whatever its action does once it is built.
TEST_F(ProcessEventTest, TypesMissingTheirRequiredAttributeFail) {
  for (const char* type : {"RUN", "REMOVE", "TEMPDELETE", "COPY", "URLHIT", "SETREFERRALURL",
                           "FIRSTURLHIT", "URLVISIT", "URLRUN"}) {
    EXPECT_EQ(-1, Dispatch(std::string("<type>") + type + "</type><cmdline>x</cmdline>")) << type;
  }
}

TEST_F(ProcessEventTest, AReusedRecordStartsEmptyForEachEvent) {
  EventRecord workspace = {};
  ASSERT_TRUE(AllocEventRecord(&workspace, 256));
  const std::string name = UniqueMutexName("reused");
  EXPECT_EQ(0, Dispatch("<type>CREATEMUTEX</type><title>" + name + "</title>", &workspace));
  EXPECT_EQ(-1, Dispatch("<type>CREATEMUTEX</type>", &workspace));
  EXPECT_EQ(Texts{"CREATEMUTEX is missing a TITLE tag"}, reports_.errors());
  FreeEventRecord(&workspace);
}

}  // namespace
