// SETREFERRALURL end to end: a bootstrapper packed with a payload of a
// URLHIT and a SETREFERRALURL, signed by osslsigncode with a fixture
// certificate and tagged by payloadtool's tag writer, run as a real process.
// The URLHIT's answer is held by the loopback server until the test lets it
// go, so that the browser's search setting can change after start-up and
// before the referral text is made.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "bootstrapper_run.h"
#include "case_name.h"
#include "certificate_tag.h"
#include "loopback_server.h"
#include "padding_rule.h"
#include "process.h"
#include "registry_guard.h"
#include "scratch_dir.h"

namespace {

constexpr char kSrc[] = "https://ping.example.com/install?";
constexpr char kPreferences[] = "SOFTWARE\\Korvex\\Lumeno\\Lumeno2\\Preferences";
constexpr char kBrowserKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";
constexpr char kSearchUrl[] = "Software\\Microsoft\\Internet Explorer\\SearchUrl";
constexpr size_t kMaxSrcAndTag = 32738;  // what the 32768-byte referral text leaves them

// Build-tree paths: Unix for osslsigncode, on drive Z: for Wine.
std::string OnDriveZ(std::string unixPath) {
  for (char& c : unixPath)
    if (c == '/') c = '\\';
  return "Z:" + unixPath;
}

// Signs in (Unix path) into out with the fixture certificate. Wine does not
// follow a Unix program to its end: the signed file is moved into place last
// and waited for.
bool Sign(const std::string& in, const std::string& out, int descriptionLength) {
  const std::string signing = REFERRAL_SIGNING_DIR;
  DeleteFileA(OnDriveZ(out).c_str());
  std::string commandLine = "/bin/sh -c \"/usr/bin/osslsigncode sign -h sha256 -n 'Lumeno Setup" +
                            std::string(descriptionLength, '.') + "' -certs '" + signing +
                            "/signing_chain.pem' -key '" + signing + "/signing_key.pem' -in '" +
                            in + "' -out '" + out + ".part' >/dev/null && /bin/mv '" + out +
                            ".part' '" + out + "'\"";
  STARTUPINFOA startup = {sizeof startup};
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return false;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  for (int i = 0; i < 1500; ++i, Sleep(20))
    if (FileExists(OnDriveZ(out))) return true;
  return false;
}

constexpr TagForm kAfter = TagForm::kAfterBlob, kInside = TagForm::kInSignature;

struct ReferralCase {
  const char* what;
  TagForm form;
  bool sign;
  size_t tagLength;  // 0: no tag; otherwise the data is "a=1" padded with 'x' to this length
  bool searchAtStart, searchDuring;
  const char* ieconv;  // null: nothing may be written
};

class Referral : public testing::TestWithParam<ReferralCase> {
 public:
  void SetUp() override {
    ASSERT_TRUE(server_.running());
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug");
    DeleteRegistryValue(HKEY_CURRENT_USER, kPreferences, "ReferralPing");
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kBrowserKey, "Version", "8.0"));
    CreateDirectoryA(OnDriveZ(work_).c_str(), nullptr);
  }
  void MakersSearch(bool on) {
    ASSERT_EQ(ERROR_SUCCESS,
              SetRegistryString(HKEY_CURRENT_USER, kSearchUrl, "provider", on ? "krvx" : "other"));
  }

  // The program the case runs: packed, then signed, then tagged.
  std::string Program(const ReferralCase& c, const std::string& tag) {
    const std::string packed = work_ + "/packed.exe", signedCopy = work_ + "/signed.exe";
    const std::string payload =
        "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>SOFTWARE\\BootstrapperTests\\"
        "Referral</subkey><installkey>InstallPath</installkey><event><type>URLHIT</type><src>" +
        server_.Url("/body?size=10&hold=0") +
        "</src></event><event><type>SETREFERRALURL</type><src>" + kSrc + "</src></event></payload>";
    PackBootstrapper(OnDriveZ(packed), &payload);
    if (!c.sign) return OnDriveZ(packed);
    // One blob length in eight leaves no room for a tag: sign again with a
    // longer description.
    for (int description = 0; description < 8; ++description) {
      EXPECT_TRUE(Sign(packed, signedCopy, description));
      std::string program, tagged, error;
      EXPECT_TRUE(ReadWholeFile(OnDriveZ(signedCopy), &program));
      if (c.tagLength == 0) return OnDriveZ(signedCopy);
      TagNotes notes;
      if (!WriteInstallerTag(program, tag, c.form, &tagged, &notes, &error)) continue;
      // Only the tag inside the signature passes the strict padding check.
      EXPECT_EQ(c.form == kInside, PaddingRuleBroken(tagged).empty()) << PaddingRuleBroken(tagged);
      EXPECT_TRUE(WriteWholeFile(OnDriveZ(work_ + "/tagged.exe"), tagged));
      return OnDriveZ(work_ + "/tagged.exe");
    }
    ADD_FAILURE() << "no signature took a tag";
    return std::string();
  }

  RegistryValueGuard debug_{HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug"};
  RegistryValueGuard ping_{HKEY_CURRENT_USER, kPreferences, "ReferralPing"};
  RegistryValueGuard version_{HKEY_LOCAL_MACHINE, kBrowserKey, "Version"};
  RegistryValueGuard provider_{HKEY_CURRENT_USER, kSearchUrl, "provider"};
  LoopbackServer server_;
  std::string work_ = REFERRAL_WORK_DIR;
};

TEST_P(Referral, WritesTheTaggedTextOrNothing) {
  const ReferralCase& c = GetParam();
  std::string tag = "a=1";
  if (c.tagLength > tag.size()) tag.append(c.tagLength - tag.size(), 'x');
  const std::string program = Program(c, tag);
  ASSERT_FALSE(program.empty());
  MakersSearch(c.searchAtStart);

  // Once the URLHIT is held, start-up has read the setting: change it, then
  // let the request finish.
  struct During {
    Referral* test;
    bool search;
    std::thread thread;
  } during{this, c.searchDuring, {}};
  const ProcessResult result = RunProcess(
      Quote(program), 60000, std::string(),
      [](DWORD, void* context) {
        auto* d = static_cast<During*>(context);
        d->thread = std::thread([d] {
          EXPECT_TRUE(d->test->server_.WaitForLine("held ", 20000));
          d->test->MakersSearch(d->search);
          d->test->server_.Resume();
        });
      },
      &during);
  if (during.thread.joinable()) during.thread.join();
  ASSERT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(0u, result.exitCode);

  std::string written;
  const bool found = ReadRegistryString(HKEY_CURRENT_USER, kPreferences, "ReferralPing", &written);
  if (!c.ieconv) {
    EXPECT_FALSE(found) << written.size() << " bytes written";
    return;
  }
  ASSERT_TRUE(found);
  EXPECT_EQ(std::string(kSrc) + "&label=installation&" + tag + "&ieconv=" + c.ieconv, written);
}

constexpr size_t kSrcLength = sizeof kSrc - 1;

INSTANTIATE_TEST_SUITE_P(
    Table, Referral,
    testing::Values(
        // The flag says whether the maker's search became the default during
        // the run: set at start-up, it is 0 without a second look.
        ReferralCase{"maker's search from the start", kAfter, true, 3, true, true, "0"},
        ReferralCase{"maker's search set during the run", kAfter, true, 3, false, true, "1"},
        ReferralCase{"another search throughout", kAfter, true, 3, false, false, "0"},
        ReferralCase{"signed without a tag", kAfter, true, 0, false, true, nullptr},
        ReferralCase{"unsigned", kAfter, false, 0, false, true, nullptr},
        ReferralCase{"src and tag at the limit", kAfter, true, kMaxSrcAndTag - kSrcLength, false,
                     false, "0"},
        ReferralCase{"one byte past the limit", kAfter, true, kMaxSrcAndTag - kSrcLength + 1,
                     false, false, nullptr},
        // One more than the extractor's 32768-byte buffer takes.
        ReferralCase{"tag larger than the buffer", kAfter, true, 32768, false, false, nullptr},
        // The same text from a tag inside the signature.
        ReferralCase{"inside: maker's search from the start", kInside, true, 3, true, true, "0"},
        ReferralCase{"inside: maker's search set during the run", kInside, true, 3, false, true,
                     "1"},
        ReferralCase{"inside: another search throughout", kInside, true, 3, false, false, "0"},
        ReferralCase{"inside: src and tag at the limit", kInside, true,
                     kMaxSrcAndTag - kSrcLength, false, false, "0"},
        ReferralCase{"inside: tag larger than the buffer", kInside, true, 32768, false, false,
                     nullptr}),
    CaseName<ReferralCase>);

}  // namespace
