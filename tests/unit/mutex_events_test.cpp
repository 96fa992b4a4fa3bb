// CREATEMUTEX and FAILONMUTEX through ProcessEvent, against real mutexes held
// by this process and by another one.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "events/dispatch.h"
#include "named_mutexes.h"
#include "report_capture.h"
#include "state/process_state.h"

namespace {

using Texts = std::vector<std::string>;

int Dispatch(const std::string& content) {
  std::string storage = content;
  TextBlock event{&storage[0], content.size()};
  return ProcessEvent("HKEY_LOCAL_MACHINE", "SOFTWARE\\Korvex\\Lumeno\\Lumeno2", event,
                      GetModuleHandleA(nullptr), "InstallPath");
}

std::string CreateMutexXml(const std::string& title) {
  return "<type>CREATEMUTEX</type><title>" + title + "</title>";
}

std::string FailOnMutexXml(const std::string& title, const std::string& status) {
  return "<type>FAILONMUTEX</type><title>" + title + "</title><status>" + status + "</status>";
}

std::string FailingMessage(const std::string& title, int code) {
  return "Failing because mutex named " + title + " exists (gLastError=" + std::to_string(code) +
         ")";
}

constexpr int kUntouched = 77;

class MutexEventTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    gLastError = kUntouched;
  }
  void TearDown() override { ResetProcessState(); }
  ReportCapture reports_;
};

// ---------------------------------------------------------------- CREATEMUTEX

TEST_F(MutexEventTest, CreateMutexTwiceWithTheSameNameSucceeds) {
  const std::string name = UniqueMutexName("twice");
  EXPECT_EQ(0, Dispatch(CreateMutexXml(name)));
  EXPECT_EQ(0, Dispatch(CreateMutexXml(name)));
  EXPECT_TRUE(MutexExists(name));
  EXPECT_EQ(Texts{}, reports_.errors());
}

TEST_F(MutexEventTest, CreateMutexWithoutTitleFails) {
  for (const char* content : {"<type>CREATEMUTEX</type>", "<type>CREATEMUTEX</type><title> </title>",
                              "<type>CREATEMUTEX</type><title>x"}) {
    EXPECT_EQ(-1, Dispatch(content)) << content;
  }
  EXPECT_EQ(Texts(3, "CREATEMUTEX is missing a TITLE tag"), reports_.errors());
  EXPECT_EQ(kUntouched, gLastError);
}

TEST_F(MutexEventTest, CreateMutexReportsThePlatformsCode) {
  // A name in a namespace that does not exist is refused by the platform.
  const std::string name = "NoSuchNamespace" + UniqueMutexName("ns") + "\\guard";
  SetLastError(0xdeadbeef);
  HANDLE direct = CreateMutexA(nullptr, FALSE, name.c_str());
  const DWORD expected = GetLastError();
  ASSERT_EQ(nullptr, direct);
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), expected);

  EXPECT_EQ(-1, Dispatch(CreateMutexXml(name)));
  EXPECT_EQ(Texts{"CreateMutex() failed, GetLastError()=" + std::to_string(expected)},
            reports_.errors());
  EXPECT_EQ(kUntouched, gLastError);
}

// ---------------------------------------------------------------- FAILONMUTEX

TEST_F(MutexEventTest, FailOnMutexNeedsTitleThenStatusEvenWithoutAMutex) {
  const std::string absent = UniqueMutexName("absent");
  const std::string present = UniqueMutexName("present");
  HANDLE own = CreateMutexA(nullptr, FALSE, present.c_str());
  ASSERT_NE(nullptr, own);
  struct {
    std::string content;
    const char* message;
  } cases[] = {
      {"<type>FAILONMUTEX</type>", "FAILONMUTEX is missing a TITLE tag"},
      {"<type>FAILONMUTEX</type><status>3</status>", "FAILONMUTEX is missing a TITLE tag"},
      {"<type>FAILONMUTEX</type><title> </title><status>3</status>",
       "FAILONMUTEX is missing a TITLE tag"},
      {"<type>FAILONMUTEX</type><title>" + absent + "</title>",
       "FAILONMUTEX is missing a STATUS tag"},
      {"<type>FAILONMUTEX</type><title>" + present + "</title><status>\t</status>",
       "FAILONMUTEX is missing a STATUS tag"},
  };
  for (const auto& c : cases) {
    reports_.Clear();
    EXPECT_EQ(-1, Dispatch(c.content)) << c.content;
    EXPECT_EQ(Texts{c.message}, reports_.errors()) << c.content;
  }
  EXPECT_EQ(kUntouched, gLastError);
  EXPECT_FALSE(gExitCodeFromEvent);
  CloseHandle(own);
}

TEST_F(MutexEventTest, FailOnMutexWithoutTheMutexGoesOn) {
  EXPECT_EQ(0, Dispatch(FailOnMutexXml(UniqueMutexName("absent"), "12")));
  EXPECT_EQ(Texts{}, reports_.errors());
  EXPECT_EQ(kUntouched, gLastError);
  EXPECT_FALSE(gExitCodeFromEvent);
}

TEST_F(MutexEventTest, FailOnMutexHeldByAnotherProcessStoresTheStatus) {
  const std::string name = UniqueMutexName("other");
  MutexHolder holder(name, MutexHolder::kOpen);
  ASSERT_TRUE(holder.holding());
  struct {
    const char* status;
    int code;
  } cases[] = {{"12", 12}, {"0", 0}, {"-2", -2}, {"x", 0}, {" +7x ", 7}, {"99999999999", INT_MAX}};
  for (const auto& c : cases) {
    ResetProcessState();
    gLastError = kUntouched;
    reports_.Clear();
    EXPECT_EQ(-1, Dispatch(FailOnMutexXml(name, c.status))) << c.status;
    EXPECT_EQ(c.code, gLastError) << c.status;
    EXPECT_TRUE(gExitCodeFromEvent) << c.status;
    EXPECT_EQ(Texts{FailingMessage(name, c.code)}, reports_.errors());
  }
}

TEST_F(MutexEventTest, FailOnMutexThatCannotBeOpenedWithFullAccessCountsAsAbsent) {
  const std::string name = UniqueMutexName("denied");
  MutexHolder holder(name, MutexHolder::kDenyAll);
  ASSERT_TRUE(holder.holding());
  // The mutex exists (access denied, not "not found"), but full access to it
  // is refused.
  SetLastError(0xdeadbeef);
  HANDLE probe = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str());
  const DWORD error = GetLastError();
  if (probe) CloseHandle(probe);
  EXPECT_EQ(nullptr, probe);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), error);

  EXPECT_EQ(0, Dispatch(FailOnMutexXml(name, "12")));
  EXPECT_EQ(Texts{}, reports_.errors());
  EXPECT_EQ(kUntouched, gLastError);
  EXPECT_FALSE(gExitCodeFromEvent);
}

}  // namespace
