#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "host/registry_lookups.h"
#include "registry_guard.h"
#include "state/process_state.h"

namespace {

// Keys of this test process only, under both hives.
std::string TestRoot() { return "SOFTWARE\\HostLookupTest-" + std::to_string(GetCurrentProcessId()); }

constexpr char kUntouched[] = "C:\\untouched\\";

class RegistryLookupTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    strcpy(gInstallPath, kUntouched);
  }
  void TearDown() override {
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, root_);
    DeleteRegistryTree(HKEY_CURRENT_USER, root_);
    ResetProcessState();
  }
  // A subkey of exactly `length` characters below the test root.
  std::string SubkeyOfLength(size_t length) const {
    std::string key = root_ + "\\";
    return key + std::string(length - key.size(), 'k');
  }
  const std::string root_ = TestRoot();
};

// --- IsRegKeyMissing ----------------------------------------------------------

TEST_F(RegistryLookupTest, KeyPresentOrMissing) {
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, root_ + "\\App", "x", "1"));
  EXPECT_FALSE(IsRegKeyMissing((root_ + "\\App").c_str()));
  EXPECT_TRUE(IsRegKeyMissing((root_ + "\\Absent").c_str()));
  // Only HKEY_LOCAL_MACHINE counts.
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_CURRENT_USER, root_ + "\\UserOnly", "x", "1"));
  EXPECT_TRUE(IsRegKeyMissing((root_ + "\\UserOnly").c_str()));
}

// A key whose DACL grants nothing: it exists, but cannot be opened for reading.
class DeniedKeyTest : public RegistryLookupTest {
 protected:
  void SetUp() override {
    RegistryLookupTest::SetUp();
    // Unique per run: the denial outlives this process (until wineserver restarts).
    path_ = root_ + "\\Denied-" + std::to_string(GetTickCount());
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, path_, "InstallPath", "C:\\x"));
    ASSERT_EQ(ERROR_SUCCESS, ApplyDacl(true));
  }
  void TearDown() override {
    // Restore an open DACL so the tree can be deleted; the owner keeps WRITE_DAC.
    EXPECT_EQ(ERROR_SUCCESS, ApplyDacl(false)) << "denied key " << path_ << " left behind";
    RegistryLookupTest::TearDown();
  }
  // empty = true: a DACL without entries (denies everyone); false: no DACL (allows everyone).
  LONG ApplyDacl(bool empty) {
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path_.c_str(), 0, WRITE_DAC, &key);
    if (status != ERROR_SUCCESS) return status;
    ACL acl;
    SECURITY_DESCRIPTOR descriptor;
    InitializeAcl(&acl, sizeof acl, ACL_REVISION);
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, empty ? &acl : nullptr, FALSE);
    status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    RegCloseKey(key);
    return status;
  }
  std::string path_;
};

TEST_F(DeniedKeyTest, CountsAsMissingAndYieldsNoInstallPath) {
  HKEY key;
  ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, path_.c_str(), 0, KEY_READ, &key))
      << "the key must exist and deny reading";
  EXPECT_TRUE(IsRegKeyMissing(path_.c_str()));
  EXPECT_FALSE(ReadInstallPath(path_.c_str(), "InstallPath", gInstallPath));
  EXPECT_STREQ(kUntouched, gInstallPath);
}

// --- ReadInstallPath ----------------------------------------------------------

struct InstallPathCase {
  const char* name;
  DWORD type;
  std::string data;  // exact bytes stored
  bool expectRead;
  std::string expectPath;  // on false: gInstallPath stays kUntouched
};
void PrintTo(const InstallPathCase& c, std::ostream* out) { *out << c.name; }

std::string Terminated(const std::string& text) { return std::string(text).append(1, '\0'); }

class ReadInstallPathTest : public RegistryLookupTest,
                            public testing::WithParamInterface<InstallPathCase> {};

TEST_P(ReadInstallPathTest, StoresValueWithOneTrailingBackslash) {
  const InstallPathCase& c = GetParam();
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryBytes(HKEY_LOCAL_MACHINE, root_, "InstallPath", c.type,
                                            c.data.data(), static_cast<DWORD>(c.data.size())));
  EXPECT_EQ(c.expectRead, ReadInstallPath(root_.c_str(), "InstallPath", gInstallPath));
  EXPECT_EQ(c.expectRead ? c.expectPath : std::string(kUntouched), std::string(gInstallPath));
  ASSERT_TRUE(memchr(gInstallPath, '\0', sizeof gInstallPath)) << "install path not terminated";
}

const std::string k258(258, 'p');
const std::string k259(259, 'p');

INSTANTIATE_TEST_SUITE_P(
    Values, ReadInstallPathTest,
    testing::Values(
        InstallPathCase{"Plain", REG_SZ, Terminated("C:\\Apps\\Lumeno"), true, "C:\\Apps\\Lumeno\\"},
        InstallPathCase{"AlreadyEndsWithBackslash", REG_SZ, Terminated("C:\\Apps\\Lumeno\\"), true,
                        "C:\\Apps\\Lumeno\\"},
        // The registry type is not examined; bytes without a terminator are terminated.
        InstallPathCase{"BinaryWithoutTerminator", REG_BINARY, "D:\\Pics", true, "D:\\Pics\\"},
        InstallPathCase{"ExpandString", REG_EXPAND_SZ, Terminated("%ProgramFiles%\\L"), true,
                        "%ProgramFiles%\\L\\"},
        // Empty stays empty: the caller reports it as "no install path".
        InstallPathCase{"Empty", REG_SZ, Terminated(""), true, ""},
        InstallPathCase{"NoBytesAtAll", REG_BINARY, "", true, ""},
        // 258 characters leave just room for the backslash and terminator.
        InstallPathCase{"LongestThatTakesBackslash", REG_SZ, Terminated(k258), true, k258 + "\\"},
        InstallPathCase{"FullLengthEndingInBackslash", REG_SZ, Terminated(k258 + "\\"), true,
                        k258 + "\\"},
        // No room for the backslash: a path without it would join names wrongly.
        InstallPathCase{"NoRoomForBackslash", REG_SZ, Terminated(k259), false, ""},
        // 260 bytes without a terminator fill the buffer: refused, not overrun.
        InstallPathCase{"FullBufferUnterminatedBinary", REG_BINARY, std::string(260, 'u'), false,
                        ""},
        InstallPathCase{"FullBufferUnterminatedString", REG_SZ, std::string(260, 'u'), false, ""},
        InstallPathCase{"TooLong", REG_SZ, Terminated(std::string(300, 'l')), false, ""}),
    [](const testing::TestParamInfo<InstallPathCase>& info) { return info.param.name; });

TEST_F(RegistryLookupTest, InstallPathMissingKeyOrValueLeavesItUntouched) {
  EXPECT_FALSE(ReadInstallPath((root_ + "\\Absent").c_str(), "InstallPath", gInstallPath));
  EXPECT_STREQ(kUntouched, gInstallPath);
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, root_, "Other", "C:\\x"));
  EXPECT_FALSE(ReadInstallPath(root_.c_str(), "InstallPath", gInstallPath));
  EXPECT_STREQ(kUntouched, gInstallPath);
}

// --- ReadDisableMediaDetector -------------------------------------------------

struct DetectorCase {
  const char* name;
  DWORD type;
  std::string data;
  bool expectRead;
  DWORD expectValue;  // on false: the poison stays
};
void PrintTo(const DetectorCase& c, std::ostream* out) { *out << c.name; }

constexpr DWORD kPoison = 0xDEADBEEF;

std::string Bytes(std::initializer_list<unsigned char> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class DisableMediaDetectorTest : public RegistryLookupTest,
                                 public testing::WithParamInterface<DetectorCase> {};

TEST_P(DisableMediaDetectorTest, OnlyAFourByteOrShorterDwordCounts) {
  const DetectorCase& c = GetParam();
  ASSERT_EQ(ERROR_SUCCESS,
            SetRegistryBytes(HKEY_CURRENT_USER, root_ + "\\Preferences", "DisableMediaDetector",
                             c.type, c.data.data(), static_cast<DWORD>(c.data.size())));
  DWORD value = kPoison;
  EXPECT_EQ(c.expectRead, ReadDisableMediaDetector(root_.c_str(), &value));
  EXPECT_EQ(c.expectRead ? c.expectValue : kPoison, value);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DisableMediaDetectorTest,
    testing::Values(DetectorCase{"DwordZero", REG_DWORD, Bytes({0, 0, 0, 0}), true, 0},
                    DetectorCase{"DwordOne", REG_DWORD, Bytes({1, 0, 0, 0}), true, 1},
                    // Short DWORD data is taken as far as it goes.
                    DetectorCase{"ShortDword", REG_DWORD, Bytes({1, 1}), true, 0x0101},
                    DetectorCase{"StringOne", REG_SZ, Terminated("1"), false, 0},
                    DetectorCase{"FourBinaryBytes", REG_BINARY, Bytes({1, 0, 0, 0}), false, 0},
                    DetectorCase{"Qword", REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0}), false, 0},
                    DetectorCase{"EightBinaryBytes", REG_BINARY, Bytes({1, 0, 0, 0, 0, 0, 0, 0}),
                                 false, 0}),
    [](const testing::TestParamInfo<DetectorCase>& info) { return info.param.name; });

TEST_F(RegistryLookupTest, DisableMediaDetectorMissing) {
  DWORD value = kPoison;
  EXPECT_FALSE(ReadDisableMediaDetector(root_.c_str(), &value)) << "no Preferences key";
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryDword(HKEY_CURRENT_USER, root_ + "\\Preferences", "Other", 1));
  EXPECT_FALSE(ReadDisableMediaDetector(root_.c_str(), &value)) << "no value";
  // The value under HKEY_LOCAL_MACHINE is not the user's preference.
  ASSERT_EQ(ERROR_SUCCESS,
            SetRegistryDword(HKEY_LOCAL_MACHINE, root_ + "\\Preferences", "DisableMediaDetector", 1));
  EXPECT_FALSE(ReadDisableMediaDetector(root_.c_str(), &value)) << "machine value read";
  EXPECT_EQ(kPoison, value);
}

// --- ReadInstallerValue -------------------------------------------------------

struct InstallerValueCase {
  const char* name;
  DWORD type;
  std::string data;
  bool expectRead;
  std::string expectText;  // on false: empty
};
void PrintTo(const InstallerValueCase& c, std::ostream* out) { *out << c.name; }

class ReadInstallerValueTest : public RegistryLookupTest,
                               public testing::WithParamInterface<InstallerValueCase> {};

TEST_P(ReadInstallerValueTest, ReadsTerminatedTextOrLeavesEmpty) {
  const InstallerValueCase& c = GetParam();
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryBytes(HKEY_LOCAL_MACHINE, root_ + "\\Installer", "RunLumeno",
                                            c.type, c.data.data(),
                                            static_cast<DWORD>(c.data.size())));
  struct {
    PathBuffer text;
    char after;  // only to show nothing beyond 260 bytes is written
  } buffer;
  memset(&buffer, 'X', sizeof buffer);
  buffer.after = '\0';
  EXPECT_EQ(c.expectRead, ReadInstallerValue(root_.c_str(), "RunLumeno", buffer.text));
  ASSERT_TRUE(memchr(buffer.text, '\0', 260)) << "buffer not terminated within 260 bytes";
  EXPECT_EQ(c.expectText, std::string(buffer.text));
  EXPECT_EQ('\0', buffer.after);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReadInstallerValueTest,
    testing::Values(
        InstallerValueCase{"Path", REG_SZ, Terminated("C:\\Apps\\Lumeno2.exe"), true,
                           "C:\\Apps\\Lumeno2.exe"},
        InstallerValueCase{"BinaryWithoutTerminator", REG_BINARY, "C:\\a.exe", true, "C:\\a.exe"},
        InstallerValueCase{"Longest", REG_SZ, Terminated(k259), true, k259},
        InstallerValueCase{"FullBufferUnterminated", REG_BINARY, std::string(260, 'u'), false, ""},
        InstallerValueCase{"TooLong", REG_SZ, Terminated(std::string(300, 'l')), false, ""}),
    [](const testing::TestParamInfo<InstallerValueCase>& info) { return info.param.name; });

TEST_F(RegistryLookupTest, InstallerValueMissingKeyOrValueGivesEmpty) {
  char buffer[260];
  memset(buffer, 'X', sizeof buffer);
  EXPECT_FALSE(ReadInstallerValue(root_.c_str(), "RunLumeno", buffer)) << "no Installer key";
  EXPECT_STREQ("", buffer);
  ASSERT_EQ(ERROR_SUCCESS,
            SetRegistryString(HKEY_LOCAL_MACHINE, root_ + "\\Installer", "RunDetector", "d.exe"));
  memset(buffer, 'X', sizeof buffer);
  EXPECT_FALSE(ReadInstallerValue(root_.c_str(), "RunLumeno", buffer)) << "no value";
  EXPECT_STREQ("", buffer);
  EXPECT_TRUE(ReadInstallerValue(root_.c_str(), "RunDetector", buffer));
  EXPECT_STREQ("d.exe", buffer);
}

// --- Key path length limits ---------------------------------------------------
// The keys just beyond each limit exist too: the refusal comes from the length
// check, before any registry call.

TEST_F(RegistryLookupTest, PreferencesPathMustStayBelow260Characters) {
  const std::string fits = SubkeyOfLength(247), tooLong = SubkeyOfLength(248);
  for (const std::string& subkey : {fits, tooLong}) {
    ASSERT_EQ(259u + (subkey == tooLong), (subkey + "\\Preferences").size());
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryDword(HKEY_CURRENT_USER, subkey + "\\Preferences",
                                              "DisableMediaDetector", 7));
  }
  DWORD value = kPoison;
  EXPECT_TRUE(ReadDisableMediaDetector(fits.c_str(), &value));
  EXPECT_EQ(7u, value);
  value = kPoison;
  EXPECT_FALSE(ReadDisableMediaDetector(tooLong.c_str(), &value));
  EXPECT_EQ(kPoison, value);
}

TEST_F(RegistryLookupTest, InstallerPathMustStayBelow260Characters) {
  const std::string fits = SubkeyOfLength(249), tooLong = SubkeyOfLength(250);
  for (const std::string& subkey : {fits, tooLong}) {
    ASSERT_EQ(259u + (subkey == tooLong), (subkey + "\\Installer").size());
    ASSERT_EQ(ERROR_SUCCESS,
              SetRegistryString(HKEY_LOCAL_MACHINE, subkey + "\\Installer", "RunLumeno", "a.exe"));
  }
  char buffer[260];
  EXPECT_TRUE(ReadInstallerValue(fits.c_str(), "RunLumeno", buffer));
  EXPECT_STREQ("a.exe", buffer);
  memset(buffer, 'X', sizeof buffer);
  EXPECT_FALSE(ReadInstallerValue(tooLong.c_str(), "RunLumeno", buffer));
  EXPECT_STREQ("", buffer);
}

}  // namespace
