// The registry work of start-up against the real registry: the debug
// switch, the browser-search check and OriginalInstallerPath. Every value
// touched is saved first and put back afterwards.
#include <gtest/gtest.h>

#include "base/unique_handle.h"
#include "case_name.h"
#include "driver/run.h"
#include "driver/startup_registry.h"
#include "host/browser_search.h"
#include "registry_guard.h"
#include "report_capture.h"
#include "state/process_state.h"

namespace {

// A registry value to set up: absent, or a type and its raw bytes.
struct Value {
  bool present;
  DWORD type;
  std::string bytes;
  size_t stored = std::string::npos;  // how many of the bytes are stored (all by default)
};

Value Absent() { return Value{false, REG_NONE, std::string()}; }
Value Sz(const std::string& text) { return Value{true, REG_SZ, text + '\0'}; }
Value Bytes(DWORD type, const std::string& bytes) { return Value{true, type, bytes}; }
Value Dword(DWORD number) {
  return Value{true, REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number)};
}
// A string value stored without its terminator. The byte after it in the
// buffer handed to the registry is not NUL either: for one that is, the
// registry counts it in (as NT does).
Value Unterminated(const std::string& text) { return Value{true, REG_SZ, text + "#", text.size()}; }
// More than the 260 bytes the program reads, beginning with text and its NUL.
Value Long(const std::string& text) {
  return Value{true, REG_BINARY, text + '\0' + std::string(300, 'x')};
}

void Put(HKEY hive, const char* key, const char* name, const Value& value) {
  DeleteRegistryValue(hive, key, name);
  if (!value.present) return;
  const size_t size = value.stored == std::string::npos ? value.bytes.size() : value.stored;
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryBytes(hive, key, name, value.type, value.bytes.data(),
                                            static_cast<DWORD>(size)));
}

struct DebugCase {
  const char* what;
  Value value;
  bool on;
};

class DebugSwitchTest : public testing::TestWithParam<DebugCase> {
 protected:
  RegistryValueGuard guard_{HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug"};
};

TEST_P(DebugSwitchTest, OnOnlyForDataBeginningWithOneAndNul) {
  const DebugCase& c = GetParam();
  Put(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug", c.value);
  EXPECT_EQ(c.on, ReadDebugSwitch()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Values, DebugSwitchTest,
    testing::Values(DebugCase{"string 1", Sz("1"), true},
                    DebugCase{"string 01", Sz("01"), false},
                    DebugCase{"string 1 and a space", Sz("1 "), false},
                    DebugCase{"empty string", Sz(""), false},
                    DebugCase{"DWORD 1", Dword(1), false},
                    DebugCase{"missing", Absent(), false},
                    // The type is not examined: '1', NUL as binary data counts.
                    DebugCase{"binary 1 NUL", Bytes(REG_BINARY, std::string("1\0", 2)), true},
                    // The data must hold the terminator itself; the buffer's
                    // own zero after one byte does not count.
                    DebugCase{"string 1 stored without terminator", Unterminated("1"), false},
                    DebugCase{"binary 1 alone", Bytes(REG_BINARY, "1"), false},
                    DebugCase{"multi-string 1", Bytes(REG_MULTI_SZ, std::string("1\0\0", 3)), true},
                    DebugCase{"longer than 260 bytes", Long("1"), false}),
    CaseName<DebugCase>);

constexpr char kVersionKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";
constexpr char kScopesKey[] = "Software\\Microsoft\\Internet Explorer\\SearchScopes";
constexpr char kSearchUrlKey[] = "Software\\Microsoft\\Internet Explorer\\SearchUrl";
constexpr char kMakerScope[] = "{3F2C91B4-7A0E-4D15-9C62-B8E41D07A5F3}";

struct BrowserCase {
  const char* what;
  Value version;
  Value scope;
  Value provider;
  bool maker;
};

class BrowserSearchTest : public testing::TestWithParam<BrowserCase> {
 protected:
  RegistryValueGuard version_{HKEY_LOCAL_MACHINE, kVersionKey, "Version"};
  RegistryValueGuard scope_{HKEY_CURRENT_USER, kScopesKey, "DefaultScope"};
  RegistryValueGuard provider_{HKEY_CURRENT_USER, kSearchUrlKey, "provider"};
};

TEST_P(BrowserSearchTest, ComparesScopeForSevenAndProviderOtherwise) {
  const BrowserCase& c = GetParam();
  Put(HKEY_LOCAL_MACHINE, kVersionKey, "Version", c.version);
  Put(HKEY_CURRENT_USER, kScopesKey, "DefaultScope", c.scope);
  Put(HKEY_CURRENT_USER, kSearchUrlKey, "provider", c.provider);
  EXPECT_EQ(c.maker, CheckBrowserSearch()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, BrowserSearchTest,
    testing::Values(
        BrowserCase{"7 with the maker's scope", Sz("7.0.5730.13"), Sz(kMakerScope), Absent(), true},
        BrowserCase{"7 with the scope in lower case", Sz("7.0.5730.13"),
                    Sz("{3f2c91b4-7a0e-4d15-9c62-b8e41d07a5f3}"), Sz("krvx"), false},
        BrowserCase{"7 reads the scope only", Sz("7.0"), Absent(), Sz("krvx"), false},
        BrowserCase{"8 with the maker's provider", Sz("8.0.6001"), Absent(), Sz("krvx"), true},
        BrowserCase{"9 with the maker's provider", Sz("9.0"), Absent(), Sz("krvx"), true},
        BrowserCase{"11 with the maker's provider", Sz("11.0.9600"), Absent(), Sz("krvx"), true},
        BrowserCase{"8 reads the provider only", Sz("8.0"), Sz(kMakerScope), Absent(), false},
        BrowserCase{"provider in upper case", Sz("8.0"), Absent(), Sz("KRVX"), false},
        BrowserCase{"provider with a trailing space", Sz("8.0"), Absent(), Sz("krvx "), false},
        BrowserCase{"no version", Absent(), Sz(kMakerScope), Sz("krvx"), false},
        BrowserCase{"provider longer than 260 bytes", Sz("8.0"), Absent(), Long("krvx"), false},
        BrowserCase{"scope longer than 260 bytes", Sz("7.0"), Long(kMakerScope), Absent(), false},
        BrowserCase{"version longer than 260 bytes", Long("8.0"), Absent(), Sz("krvx"), false}),
    CaseName<BrowserCase>);

class OriginalInstallerPathTest : public testing::Test {
 protected:
  static bool Read(std::string* value) {
    return ReadRegistryString(HKEY_LOCAL_MACHINE, kInstallerKeyPath, kOriginalInstallerPathValue,
                              value);
  }
  static std::string OwnPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
  }
  RegistryValueGuard guard_{HKEY_LOCAL_MACHINE, kInstallerKeyPath, kOriginalInstallerPathValue};
};

TEST_F(OriginalInstallerPathTest, AbsentValueIsWrittenWithOwnPathThenRemoved) {
  Put(HKEY_LOCAL_MACHINE, kInstallerKeyPath, kOriginalInstallerPathValue, Absent());
  ASSERT_TRUE(RecordOriginalInstallerPath());
  std::string value;
  ASSERT_TRUE(Read(&value));
  EXPECT_EQ(OwnPath(), value);
  RemoveOriginalInstallerPath();
  EXPECT_FALSE(Read(&value)) << "left " << value;
}

TEST_F(OriginalInstallerPathTest, PresentValueIsLeftAlone) {
  const std::string earlier = "C:\\elsewhere\\setup.exe";
  Put(HKEY_LOCAL_MACHINE, kInstallerKeyPath, kOriginalInstallerPathValue, Sz(earlier));
  EXPECT_FALSE(RecordOriginalInstallerPath());
  std::string value;
  ASSERT_TRUE(Read(&value));
  EXPECT_EQ(earlier, value);
}

// A value the 260-byte read cannot take counts as absent and is replaced.
TEST_F(OriginalInstallerPathTest, OverlongValueIsReplacedWithOwnPath) {
  Put(HKEY_LOCAL_MACHINE, kInstallerKeyPath, kOriginalInstallerPathValue,
      Sz("C:\\" + std::string(300, 'd') + "\\setup.exe"));
  EXPECT_TRUE(RecordOriginalInstallerPath());
  std::string value;
  ASSERT_TRUE(Read(&value));
  EXPECT_EQ(OwnPath(), value);
}

// The single-instance mutex cannot be created while another kind of object
// holds its name: the run's one report, -1, and nothing else done.
TEST(SingleInstanceMutex, NameTakenByAnotherObjectFailsWithItsReport) {
  RegistryValueGuard path(HKEY_LOCAL_MACHINE, kInstallerKeyPath, kOriginalInstallerPathValue);
  Put(HKEY_LOCAL_MACHINE, kInstallerKeyPath, kOriginalInstallerPathValue, Absent());
  const UniqueHandle taken(CreateEventA(nullptr, TRUE, FALSE, "Lumeno2Installing"));
  ASSERT_TRUE(taken.valid()) << GetLastError();
  ResetProcessState();
  ReportCapture reports;
  EXPECT_EQ(-1, RunBootstrapper(GetModuleHandleA(nullptr), "/S"));
  EXPECT_EQ(std::vector<std::string>{"Could not create mutex--Tarnwick already running???"},
            reports.errors());
  std::string value;
  EXPECT_FALSE(ReadRegistryString(HKEY_LOCAL_MACHINE, kInstallerKeyPath,
                                  kOriginalInstallerPathValue, &value));
  EXPECT_STREQ("", gCallerCmdLine) << "the run went past the mutex";
  ResetProcessState();
}

}  // namespace
