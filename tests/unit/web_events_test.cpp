// The web events in-process and TagExtractor on real files: signed fixtures
// tagged by payloadtool's tag writer, the loopback server with a private TMP
// (after every event the temporary directory is empty again), and a stand-in
// browser registered as the prefix's http handler.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/text_block.h"
#include "case_name.h"
#include "certificate_tag.h"
#include "events/dispatch.h"
#include "events/web_events.h"
#include "loopback_server.h"
#include "named_mutexes.h"
#include "payload/payload_walk.h"
#include "process.h"
#include "registry_guard.h"
#include "report_capture.h"
#include "scratch_dir.h"
#include "signing/signed_fixtures.h"
#include "state/process_state.h"
#include "trust/tag_extractor.h"

namespace {

using Texts = std::vector<std::string>;
constexpr char kLocalMachine[] = "HKEY_LOCAL_MACHINE";
constexpr char kSubkey[] = "SOFTWARE\\BootstrapperTests\\WebEvents";

// --- TagExtractor: what the class adds to the parser (its bounds are tested
// natively on made-up programs).

// A signed fixture tagged with data, written to path. The fixtures' blob
// lengths differ; one in eight puts the tag's place on the blob's last byte,
// which the writer refuses, so the first one it takes is used.
void WriteTagged(const std::string& path, const std::string& data,
                 TagForm form = TagForm::kAfterBlob) {
  for (const SignedFixture* fixture : {&kLumenoComma, &kKorvex, &kTessaly, &kLumenoPeriod}) {
    std::string program, tagged, error;
    ASSERT_TRUE(ReadWholeFile(ModuleDirectory() + "signed\\" + fixture->file, &program));
    TagNotes notes;
    if (!WriteInstallerTag(program, data, form, &tagged, &notes, &error)) continue;
    ASSERT_TRUE(WriteWholeFile(path, tagged));
    return;
  }
  FAIL() << "no signed fixture could be tagged";
}

class TagExtractorTest : public testing::Test {
 protected:
  ScratchDir dir_{"tagextract"};
};

TEST_F(TagExtractorTest, SizeQueryAndCapacitiesAtAndBelowTheNeed) {
  for (const TagForm form : {TagForm::kAfterBlob, TagForm::kInSignature}) {
    for (const std::string& data : {std::string(), std::string("campaign=spring&source=mail"),
                                    std::string(256, 'x')}) {
      SCOPED_TRACE(TagFormText(form) + (" " + std::to_string(data.size())));
      const std::string path = dir_.path() + "sized.exe";
      WriteTagged(path, data, form);
      TagExtractor extractor;
      ASSERT_TRUE(extractor.Open(path.c_str()));
      const int32_t needed = static_cast<int32_t>(data.size()) + 1;
      int32_t size = -5;
      EXPECT_TRUE(extractor.ExtractTag(nullptr, &size));
      EXPECT_EQ(needed, size);
      std::vector<char> buffer(needed + 1, '#');
      size = needed - 1;
      if (size > 0) {
        EXPECT_FALSE(extractor.ExtractTag(buffer.data(), &size));
        EXPECT_EQ(needed - 1, size);
        EXPECT_EQ('#', buffer[0]);
      }
      size = needed;
      EXPECT_TRUE(extractor.ExtractTag(buffer.data(), &size));
      EXPECT_EQ(needed, size);
      EXPECT_EQ(data, std::string(buffer.data()));
      EXPECT_EQ('#', buffer[needed]) << "written past the terminator";
    }
  }
}

// Closed at first, after a failed Open and once a second Open has let go of
// the first file (shared for reading only while open); destruction releases
// the last one.
TEST_F(TagExtractorTest, ReleasesEachFileItLetsGoOf) {
  const std::string first = dir_.path() + "first.exe", second = dir_.path() + "second.exe";
  WriteTagged(first, "first");
  WriteTagged(second, "second");
  ASSERT_TRUE(WriteWholeFile(dir_.path() + "empty.exe", ""));
  char buffer[16];
  int32_t size = sizeof buffer;
  {
    TagExtractor extractor;
    extractor.Close();
    EXPECT_FALSE(extractor.ExtractTag(buffer, &size));
    ASSERT_TRUE(extractor.Open(first.c_str()));
    EXPECT_FALSE(extractor.ExtractTag(buffer, nullptr));
    EXPECT_FALSE(DeleteFileA(first.c_str()));
    EXPECT_FALSE(extractor.Open((dir_.path() + "empty.exe").c_str()));  // nothing to map
    EXPECT_FALSE(extractor.ExtractTag(buffer, &size));
    EXPECT_TRUE(DeleteFileA(first.c_str())) << "error " << GetLastError();
    ASSERT_TRUE(extractor.Open(second.c_str()));
    ASSERT_TRUE(extractor.ExtractTag(buffer, &size));
    EXPECT_STREQ("second", buffer);
    EXPECT_EQ(16, size);
  }
  EXPECT_TRUE(DeleteFileA(second.c_str())) << "error " << GetLastError();
}

// --- URLHIT, FIRSTURLHIT and URLVISIT through ProcessEvent.

class WebEventTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    ASSERT_TRUE(server_.running());
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
    char saved[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    savedTmp_ = length > 0 && length < MAX_PATH ? saved : "";
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
  }
  void TearDown() override {
    SetEnvironmentVariableA("TMP", savedTmp_.empty() ? nullptr : savedTmp_.c_str());
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    EXPECT_EQ(Texts{}, ListDirectory(temp_)) << "left in the temporary directory";
    ResetProcessState();
  }

  int Run(const std::string& type, const std::string& src, const char* rootkey = kLocalMachine) {
    std::string content = "<type>" + type + "</type><src>" + src + "</src>";
    TextBlock event{&content[0], content.size()};
    return ProcessEvent(rootkey, kSubkey, event, GetModuleHandleA(nullptr), "InstallPath");
  }

  ScratchDir dir_{"webevents"};
  std::string temp_ = dir_.path() + "temp\\";
  std::string savedTmp_;
  LoopbackServer server_;
  ReportCapture reports_;
};

std::string Refused(const char* path) {
  return "http://127.0.0.1:" + std::to_string(RefusedLoopbackPort()) + path;
}

struct RequestCase {
  const char* what;
  const char* type;
  const char* target;   // on the loopback server
  const char* rootkey;
  bool keyExists;       // HKLM\<subkey>
  int requests;
  const char* report;   // the failure's result, or null for none
};

class DiscardedRequest : public WebEventTest, public testing::WithParamInterface<RequestCase> {};

TEST_P(DiscardedRequest, RequestsAsToldAndKeepsNothing) {
  const RequestCase& c = GetParam();
  if (c.keyExists) {
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kSubkey, "x", "1"));
  }
  const std::string src = server_.Url(c.target);
  EXPECT_EQ(0, Run(c.type, src, c.rootkey));
  Texts requests(c.requests, c.target);
  EXPECT_EQ(requests, server_.Requests());
  Texts reports;
  if (c.report) {
    reports.push_back(std::string(c.type) + " - URLDownloadToFile(" + src + ") failed, " +
                      c.report);
  }
  EXPECT_EQ(reports, reports_.errors());
}

INSTANTIATE_TEST_SUITE_P(
    Table, DiscardedRequest,
    testing::Values(
        RequestCase{"urlhit answered", "URLHIT", "/body?size=3000", kLocalMachine, true, 1, nullptr},
        // Wine's URL library reports a body cut short as a success.
        RequestCase{"urlhit cut halfway", "URLHIT", "/body?size=300000&stop=100000",
                    kLocalMachine, false, 1, nullptr},
        RequestCase{"first install", "FIRSTURLHIT", "/body?size=10", kLocalMachine, false, 1,
                    nullptr},
        RequestCase{"application installed", "FIRSTURLHIT", "/body?size=10", kLocalMachine, true,
                    0, nullptr},
        RequestCase{"other rootkey", "FIRSTURLHIT", "/body?size=10", "HKEY_CURRENT_USER", false,
                    0, nullptr}),
    CaseName<RequestCase>);

// A temporary directory at the longest that takes a "plr" name gets the
// request; one past it gets none (the platform could hand back a cut,
// unterminated name) and the event says so and goes on.
TEST_F(WebEventTest, TemporaryDirectoryUpToTheLongestThatTakesATemporaryName) {
  for (const size_t length : {246u, 247u, 259u}) {
    SCOPED_TRACE(length);
    const std::string directory = temp_ + std::string(length - temp_.size() - 1, 'd') + "\\";
    ASSERT_EQ(length, directory.size());
    ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", directory.c_str()));
    reports_.Clear();
    const size_t before = server_.Requests().size();
    EXPECT_EQ(0, Run("URLHIT", server_.Url("/body?size=10")));
    const bool named = length <= 246;
    EXPECT_EQ(before + (named ? 1 : 0), server_.Requests().size());
    EXPECT_EQ(named ? Texts{} : Texts{"URLHIT - no temporary file for the answer"},
              reports_.errors());
    EXPECT_EQ(Texts{}, ListDirectory(directory)) << "left in the temporary directory";
    RemoveDirectoryA(directory.c_str());
  }
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));
}

// An unreachable address, a server that never answers and one that trickles
// past the limit: each event reports and returns 0 within the limit, and the
// walk goes on to its last event.
TEST_F(WebEventTest, TheWalkGoesOnPastFailedAndSilentRequests) {
  const std::string created = UniqueMutexName("afterweb");
  const std::string refused = Refused("/hit"), silent = server_.Url("/silent"),
                    trickle = server_.Url("/body?size=100000&chunk=100&pause=200");
  std::string payload = std::string("<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>") +
                        kSubkey + "</subkey><installkey>InstallPath</installkey>" +
                        "<event><type>URLHIT</type><src>" + refused + "</src></event>" +
                        "<event><type>URLHIT</type><src>" + silent + "</src></event>" +
                        "<event><type>FIRSTURLHIT</type><src>" + trickle + "</src></event>" +
                        "<event><type>CREATEMUTEX</type><title>" + created + "</title></event>" +
                        "</payload>";
  TextBlock block{&payload[0], payload.size()};
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(0, ProcessXML2(&block, GetModuleHandleA(nullptr)));
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_TRUE(MutexExists(created));
  EXPECT_EQ((Texts{"URLHIT - URLDownloadToFile(" + refused + ") failed, -2146697208",
                   "URLHIT - URLDownloadToFile(" + silent + ") failed, -2147467260",
                   "FIRSTURLHIT - URLDownloadToFile(" + trickle + ") failed, -2147467260"}),
            reports_.errors());
  EXPECT_GE(elapsed, 2ull * kWebRequestLimitMs);
  EXPECT_LT(elapsed, 2ull * kWebRequestLimitMs + 3000) << "two requests cut at the limit";
  std::printf("[ measured ] two requests cut at %lu ms each: the walk took %llu ms\n",
              static_cast<unsigned long>(kWebRequestLimitMs), elapsed);
  EXPECT_EQ((Texts{"/silent", "/body?size=100000&chunk=100&pause=200"}), server_.Requests());
}

// URLVISIT hands the address to the registered http handler (a stand-in that
// records it and then stays for three seconds) and does not wait for it.
TEST_F(WebEventTest, UrlVisitOpensTheAddressWithoutWaiting) {
  RegistryValueGuard handler(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", "");
  const std::string log = dir_.path() + "visits.log";
  const std::string address = "http://www.example.com/welcome?from=setup&lang=fr";
  ASSERT_EQ(ERROR_SUCCESS,
            SetRegistryString(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", "",
                              Quote(BuiltProgram("url_handler.exe")) + " " + Quote(log) +
                                  " 3000 \"%1\""));
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(0, Run("URLVISIT", address));
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_LT(elapsed, 2500ull) << "waited for the browser";
  std::string visits;
  for (int i = 0; i < 500 && !ReadWholeFile(log, &visits); ++i) Sleep(20);
  EXPECT_EQ(address + "\n", visits);

  // With no handler at all the event still succeeds, silently.
  DeleteFileA(log.c_str());
  ASSERT_EQ(ERROR_SUCCESS, DeleteRegistryValue(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", ""));
  EXPECT_EQ(0, Run("URLVISIT", address));
  Sleep(500);
  EXPECT_FALSE(FileExists(log));
  EXPECT_EQ(Texts{}, reports_.errors());
}

}  // namespace
