#include "events/dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "events/event_types.h"
#include "loopback_server.h"
#include "named_mutexes.h"
#include "report_capture.h"
#include "required_attribute_cases.h"
#include "scratch_dir.h"
#include "state/process_state.h"

namespace {

using Texts = std::vector<std::string>;

// A key no test creates.
constexpr char kAbsentKey[] = "SOFTWARE\\BootstrapperTests\\Dispatch\\Absent";

// Runs one event as the walk does, with an event block of the content's size.
int Dispatch(const std::string& content, EventRecord* workspace = nullptr,
             const char* subkey = "SOFTWARE\\Korvex\\Lumeno\\Lumeno2") {
  std::string storage = content;
  TextBlock event{&storage[0], content.size()};
  return ProcessEvent("HKEY_LOCAL_MACHINE", subkey, event, GetModuleHandleA(nullptr),
                      "InstallPath", workspace);
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

// What a type requires stops it before its action: the report is exactly the
// one the table gives (or none), and nothing of the action follows it.
class RequiredAttributeTest : public ProcessEventTest,
                              public testing::WithParamInterface<RequiredCase> {};

TEST_P(RequiredAttributeTest, MissingOneFailsWithItsOwnReportOnly) {
  const RequiredCase& c = GetParam();
  if (c.installPathSet) strcpy(gInstallPath, "C:\\dispatch-test-never-written\\");
  EXPECT_EQ(-1, Dispatch(RequiredCaseEvent(c)));
  EXPECT_EQ(c.message ? Texts{c.message} : Texts{}, reports_.errors());
}

INSTANTIATE_TEST_SUITE_P(Cases, RequiredAttributeTest, testing::ValuesIn(RequiredAttributeCases()),
                         [](const testing::TestParamInfo<RequiredCase>& info) {
                           return std::string(info.param.what);
                         });

// Each name runs the action of its own row: a record of every type, past its
// requirements, shows that type's own first reports and effects, so two
// swapped actions would fail here.
TEST_F(ProcessEventTest, EveryTypeRunsItsOwnAction) {
  ScratchDir install("dispatch");
  strcpy(gInstallPath, install.path().c_str());
  char temp[MAX_PATH];
  ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
  const std::string kept = UniqueMutexName("kept") + ".tmp";
  const std::string deleted = UniqueMutexName("deleted") + ".tmp";
  ASSERT_TRUE(WriteWholeFile(temp + kept, "REMOVE leaves me"));
  ASSERT_TRUE(WriteWholeFile(temp + deleted, "TEMPDELETE takes me"));
  const std::string notCreated = UniqueMutexName("remove");
  const std::string created = UniqueMutexName("create");
  const std::string held = UniqueMutexName("held");
  MutexHolder holder(held, MutexHolder::kOpen);
  ASSERT_TRUE(holder.holding());
  const std::string refused =
      "http://127.0.0.1:" + std::to_string(RefusedLoopbackPort()) + "/hit";
  const std::string runapps = "RUNAPPS Could not find registry key for install path - "
                              "[HKEY_LOCAL_MACHINE][" + std::string(kAbsentKey) + "][InstallPath]";
  struct Case {
    const char* type;
    std::string attributes;
    int result;
    Texts reports;
  } cases[] = {
      {"RUN", "<src>nosuch.exe</src>", -1,
       {"ExtractFile - FindResource failed name=NOSUCH, ext=EXE", "Cant extract NOSUCH.EXE"}},
      {"RUNAPPS", "", -1, {runapps}},
      {"REMOVE", "<src>" + kept + "</src><title>" + notCreated + "</title>", 0, {}},
      {"CALLERCOPY", "<src>C:\\no\\such.txt</src><dst>copy.txt</dst>", -1,
       {"CALLERCOPY failed: C:\\no\\such.txt " + install.path() + "copy.txt"}},
      {"TEMPDELETE", "<src>" + deleted + "</src>", 0, {}},
      {"COPY", "<src>nosuch.exe</src><dst>copy.exe</dst>", -1,
       {"ExtractFile - FindResource failed name=NOSUCH, ext=EXE",
        "Cant extract NOSUCH.EXE to " + install.path() + "copy.exe"}},
      {"URLHIT", "<src>" + refused + "</src>", 0,
       {"URLHIT - URLDownloadToFile(" + refused + ") failed, -2146697208"}},
      // This program is not signed: it carries no tag to record.
      {"SETREFERRALURL", "<src>u</src>", 0, {}},
      {"FIRSTURLHIT", "<src>" + refused + "</src>", 0,
       {"FIRSTURLHIT - URLDownloadToFile(" + refused + ") failed, -2146697208"}},
      {"URLVISIT", "<src>nosuch:u</src>", 0, {}},
      // This program carries no download dialog to show.
      {"URLRUN", "<src>u</src><title>t</title><status>s</status>", -1,
       {"DOWNLOAD CANCELED OR ENCOUNTERED ERROR"}},
      {"CREATEMUTEX", "<title>" + created + "</title>", 0, {}},
      {"FAILONMUTEX", "<title>" + held + "</title><status>7</status>", -1,
       {"Failing because mutex named " + held + " exists (gLastError=7)"}},
  };
  ASSERT_EQ(static_cast<size_t>(kEventTypeCount), sizeof cases / sizeof *cases);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    reports_.Clear();
    EXPECT_EQ(c.result, Dispatch(std::string("<type>") + c.type + "</type>" + c.attributes,
                                 nullptr, kAbsentKey));
    EXPECT_EQ(c.reports, reports_.errors());
  }
  EXPECT_TRUE(FileExists(temp + kept));
  EXPECT_FALSE(FileExists(temp + deleted));
  EXPECT_FALSE(MutexExists(notCreated));
  EXPECT_TRUE(MutexExists(created));
  EXPECT_EQ(7, gLastError);
  DeleteFileA((temp + kept).c_str());
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
