// The publisher check against the signed fixture programs (bin\signed\, made
// at build time): which pass accepts each file, how many times the file is
// verified, and the signer-name comparison's every way out with Crypt32
// stand-ins that lack a function or fail a step. Under Wine self-signed and
// untrusted chains verify (Windows rejects the test root unless it is
// trusted), so the name comparison is what tells the files apart here.
//
// Both global-memory blocks of the comparison are counted through this
// program's imports of GlobalAlloc and GlobalFree: after every call, every
// block it allocated has been freed.
#include "trust/publisher_check.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/system_functions.h"
#include "case_name.h"
#include "import_hook.h"
#include "process.h"
#include "signing/signed_fixtures.h"

namespace {

std::string FixturePath(const SignedFixture& fixture) {
  return ModuleDirectory() + "signed\\" + fixture.file;
}

std::wstring Wide(const std::string& text) {
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH);
  return wide;
}

// --- What the product calls, counted.
using GlobalAllocFn = HGLOBAL(WINAPI*)(UINT, SIZE_T);
using GlobalFreeFn = HGLOBAL(WINAPI*)(HGLOBAL);
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
using VerifyFn = LONG(WINAPI*)(HWND, GUID*, LPVOID);

GlobalAllocFn gRealGlobalAlloc = nullptr;
GlobalFreeFn gRealGlobalFree = nullptr;
GetProcAddressFn gRealGetProcAddress = nullptr;
VerifyFn gRealVerify = nullptr;

int gAllocations = 0;     // blocks handed out
int gFailAllocation = 0;  // the allocation (counting from 1) that fails; 0: none
std::set<HGLOBAL> gLiveBlocks;
int gVerifications = 0;

HGLOBAL WINAPI CountingGlobalAlloc(UINT flags, SIZE_T bytes) {
  if (gFailAllocation != 0 && gFailAllocation == gAllocations + 1) {
    gFailAllocation = 0;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HGLOBAL block = gRealGlobalAlloc(flags, bytes);
  if (block) {
    ++gAllocations;
    gLiveBlocks.insert(block);
  }
  return block;
}

HGLOBAL WINAPI CountingGlobalFree(HGLOBAL block) {
  gLiveBlocks.erase(block);
  return gRealGlobalFree(block);
}

LONG WINAPI CountingVerify(HWND window, GUID* action, LPVOID data) {
  ++gVerifications;
  return gRealVerify(window, action, data);
}

// Hands out the counting WinVerifyTrust wherever the product looks it up.
FARPROC WINAPI HookedGetProcAddress(HMODULE module, LPCSTR name) {
  FARPROC found = gRealGetProcAddress(module, name);
  if (found && HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 &&
      strcmp(name, "WinVerifyTrust") == 0) {
    gRealVerify = reinterpret_cast<VerifyFn>(reinterpret_cast<void*>(found));
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(CountingVerify));
  }
  return found;
}

template <typename Function>
Function Hook(const char* name, Function replacement) {
  return reinterpret_cast<Function>(
      ReplaceImport("kernel32.dll", name, reinterpret_cast<void*>(replacement)));
}

// For the whole program: the table of system functions resolves
// WinVerifyTrust once, so the counting one must be handed out from the
// start.
class CountingImports : public testing::Environment {
 public:
  void SetUp() override {
    gRealGlobalAlloc = Hook("GlobalAlloc", CountingGlobalAlloc);
    gRealGlobalFree = Hook("GlobalFree", CountingGlobalFree);
    gRealGetProcAddress = Hook("GetProcAddress", HookedGetProcAddress);
  }
};
const testing::Environment* const kCountingImports =
    testing::AddGlobalTestEnvironment(new CountingImports);

class PublisherCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(nullptr, gRealGlobalAlloc);
    ASSERT_NE(nullptr, gRealGlobalFree);
    ASSERT_NE(nullptr, gRealGetProcAddress);
    gAllocations = 0;
    gFailAllocation = 0;
    gLiveBlocks.clear();
    gVerifications = 0;
  }
};

// --- Which pass accepts a file.
struct PassCase {
  const char* what;
  SignedFixture fixture;
  int pass;           // 1 to 5, or 0: rejected
  int verifications;  // WinVerifyTrust calls of the whole check
  int blocks;         // global blocks the comparisons allocated
};

class AcceptedPublisher : public PublisherCheckTest,
                          public testing::WithParamInterface<PassCase> {};

TEST_P(AcceptedPublisher, OnItsOwnPass) {
  const PassCase& c = GetParam();
  const std::string path = FixturePath(c.fixture);
  EXPECT_EQ(c.pass, AcceptedPublisherPass(path.c_str())) << path;
  EXPECT_EQ(c.verifications, gVerifications);
  EXPECT_EQ(c.blocks, gAllocations);
  EXPECT_TRUE(gLiveBlocks.empty()) << gLiveBlocks.size() << " global blocks not freed";
  EXPECT_EQ(c.pass != 0, IsAcceptedPublisher(path.c_str()));
}

constexpr SignedFixture kMissingFile = {"no_such_program.exe", nullptr};

INSTANTIATE_TEST_SUITE_P(
    SignedFixtures, AcceptedPublisher,
    testing::Values(
        PassCase{"Korvex Inc. first", kKorvexPeriod, 1, 1, 2},
        PassCase{"Korvex Inc second", kKorvex, 2, 2, 4},
        PassCase{"Lumeno Inc. third", kLumenoPeriod, 3, 3, 6},
        PassCase{"Lumeno, Inc. fourth", kLumenoComma, 4, 4, 8},
        PassCase{"Tessaly fifth", kTessaly, 5, 5, 10},
        PassCase{"only the letter case differs", kLumenoCommaUpper, 0, 5, 10},
        PassCase{"another publisher", kOtherPublisher, 0, 5, 10},
        PassCase{"accepted signer nested in another", kTwoOtherFirst, 0, 5, 10},
        PassCase{"accepted first signer with another nested", kTwoAcceptedFirst, 4, 4, 8},
        PassCase{"tampered after signing", kTampered, 0, 5, 0},
        PassCase{"unsigned", kUnsigned, 0, 5, 0},
        PassCase{"missing file", kMissingFile, 0, 5, 0}),
    CaseName<PassCase>);

// --- The comparison's ways out.
constexpr int kSystemCrypt32 = -1;

struct MatchCase {
  const char* what;
  int stubExports;  // crypt_stub_<n>.dll, or kSystemCrypt32
  int failStep;     // step the stub fails (see crypt_stub.cpp), 0: none
  DWORD failError;  // the error it leaves
  int failAllocation;
  SignedFixture fixture;
  const wchar_t* acceptedName;
  int result;
  int blocks;  // global blocks allocated (all freed again)
};

class SignerName : public PublisherCheckTest, public testing::WithParamInterface<MatchCase> {};

TEST_P(SignerName, ComparesTheFirstSignerAndFreesBothBlocks) {
  const MatchCase& c = GetParam();
  HMODULE crypt32 =
      c.stubExports == kSystemCrypt32
          ? LoadSystemLibrary("crypt32.dll")
          : LoadLibraryA(BuiltProgram(("crypt_stub_" + std::to_string(c.stubExports) + ".dll")
                                          .c_str()).c_str());
  ASSERT_NE(nullptr, crypt32);
  using FailStepFn = void(WINAPI*)(int, DWORD);
  auto failStep = reinterpret_cast<FailStepFn>(
      reinterpret_cast<void*>(gRealGetProcAddress(crypt32, "StubFailStep")));
  if (c.stubExports != kSystemCrypt32) {
    ASSERT_NE(nullptr, failStep);
    failStep(c.failStep, c.failError);
  }
  gFailAllocation = c.failAllocation;

  const std::wstring path = Wide(FixturePath(c.fixture));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(c.result, MatchSignerName(crypt32, path.c_str(), c.acceptedName));
  EXPECT_EQ(c.blocks, gAllocations);
  EXPECT_TRUE(gLiveBlocks.empty()) << gLiveBlocks.size() << " global blocks not freed";
  if (failStep) failStep(0, 0);
  FreeLibrary(crypt32);
}

constexpr int kNoMatch = static_cast<int>(0x80092009);  // CRYPT_E_NO_MATCH
const wchar_t kOther[] = L"Other Imaging Ltd.";

INSTANTIATE_TEST_SUITE_P(
    WaysOut, SignerName,
    testing::Values(
        MatchCase{"equal", kSystemCrypt32, 0, 0, 0, kLumenoComma, L"Lumeno, Inc.", 0, 2},
        MatchCase{"different", kSystemCrypt32, 0, 0, 0, kLumenoComma, L"Lumeno Inc.", -1, 2},
        MatchCase{"case differs", kSystemCrypt32, 0, 0, 0, kLumenoCommaUpper, L"Lumeno, Inc.",
                  -1, 2},
        MatchCase{"nested signer ignored", kSystemCrypt32, 0, 0, 0, kTwoOtherFirst,
                  L"Lumeno, Inc.", -1, 2},
        MatchCase{"no signature", kSystemCrypt32, 0, 0, 0, kUnsigned, L"Lumeno, Inc.", kNoMatch,
                  0},
        MatchCase{"no CryptQueryObject", 0, 0, 0, 0, kOtherPublisher, L"x", 0, 0},
        MatchCase{"no CryptMsgGetParam", 1, 0, 0, 0, kOtherPublisher, L"x", 0, 0},
        MatchCase{"no CertFindCertificateInStore", 2, 0, 0, 0, kOtherPublisher, L"x", 0, 1},
        MatchCase{"no CertGetNameStringW", 3, 0, 0, 0, kOtherPublisher, L"x", 0, 1},
        MatchCase{"stand in compares", 4, 0, 0, 0, kOtherPublisher, kOther, 0, 2},
        MatchCase{"query fails", 4, 1, 1201, 0, kOtherPublisher, kOther, 1201, 0},
        MatchCase{"signer size fails", 4, 2, 1202, 0, kOtherPublisher, kOther, 1202, 0},
        MatchCase{"signer info fails", 4, 3, 1203, 0, kOtherPublisher, kOther, 1203, 1},
        MatchCase{"certificate not found", 4, 4, 1204, 0, kOtherPublisher, kOther, 1204, 1},
        MatchCase{"name length fails", 4, 5, 1205, 0, kOtherPublisher, kOther, 1205, 1},
        MatchCase{"name fails", 4, 6, 1206, 0, kOtherPublisher, kOther, 1206, 2},
        // A failure must never read as equal names (0) or different ones (-1).
        MatchCase{"failure without error code", 4, 4, 0, 0, kOtherPublisher, kOther,
                  ERROR_FUNCTION_FAILED, 1},
        MatchCase{"failure with error minus one", 4, 6, 0xFFFFFFFF, 0, kOtherPublisher, kOther,
                  ERROR_FUNCTION_FAILED, 2},
        MatchCase{"signer block not allocated", kSystemCrypt32, 0, 0, 1, kOtherPublisher, kOther,
                  ERROR_NOT_ENOUGH_MEMORY, 0},
        MatchCase{"name block not allocated", kSystemCrypt32, 0, 0, 2, kOtherPublisher, kOther,
                  ERROR_NOT_ENOUGH_MEMORY, 1}),
    CaseName<MatchCase>);

}  // namespace
