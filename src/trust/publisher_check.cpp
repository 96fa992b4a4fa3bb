#include "trust/publisher_check.h"

#include <wintrust.h>
#include <softpub.h>

#include <cstddef>

#include "base/ansi_bstr.h"
#include "base/run_log.h"
#include "base/system_functions.h"

const wchar_t* const kAcceptedPublishers[kAcceptedPublisherCount] = {
    L"Korvex Inc.", L"Korvex Inc", L"Lumeno Inc.", L"Lumeno, Inc.", L"Tessaly Solutions, Inc.",
};

namespace {
// The request's size up to and including dwUIContext (48 bytes on 32-bit).
constexpr DWORD kTrustDataSize = offsetof(WINTRUST_DATA, dwUIContext) + sizeof(DWORD);
#ifndef _WIN64
static_assert(kTrustDataSize == 48, "WINTRUST_DATA up to dwUIContext");
static_assert(sizeof(WINTRUST_FILE_INFO) == 16, "WINTRUST_FILE_INFO");
#endif

// What the last pass found, for the run log's line on a refused file.
LONG gLastTrust = 0;
int gLastNameMatch = 0;

// The platform's verdict on the file's embedded signature: 0 when valid.
LONG VerifyTrust(const wchar_t* path) {
  auto verify = GetSystemFunction<SystemFunction::kWinVerifyTrust>();
  if (!verify) return TRUST_E_PROVIDER_UNKNOWN;
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path;
  WINTRUST_DATA request = {};
  request.cbStruct = kTrustDataSize;
  request.dwUIChoice = WTD_UI_NONE;
  request.fdwRevocationChecks = WTD_REVOKE_NONE;
  request.dwUnionChoice = WTD_CHOICE_FILE;
  request.pFile = &file;
  request.dwStateAction = WTD_STATEACTION_IGNORE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return verify(nullptr, &action, &request);
}
}  // namespace

bool VerifySignerName(const char* path, const wchar_t* acceptedName) {
  BSTR widePath = AnsiToBstr(path);
  if (path && !widePath) RaiseOutOfMemory();
  BstrHolder release(widePath);
  gLastNameMatch = 0;
  gLastTrust = VerifyTrust(widePath);
  if (gLastTrust != 0) return false;
  // Loaded for this pass only, by full path from the system directory.
  HMODULE crypt32 = LoadSystemLibrary("crypt32.dll");
  // Without Crypt32 the name cannot be read: the verification alone decides.
  if (!crypt32) return true;
  const int result = MatchSignerName(crypt32, widePath, acceptedName);
  gLastNameMatch = result;
  FreeLibrary(crypt32);
  return result == 0;
}

int AcceptedPublisherPass(const char* path) {
  for (int pass = 0; pass < kAcceptedPublisherCount; ++pass) {
    if (VerifySignerName(path, kAcceptedPublishers[pass])) {
      LogLine("publisher check: signed by %ls", kAcceptedPublishers[pass]);
      return pass + 1;
    }
  }
  // A signer name check of -1: the signature is valid, its signer none of
  // the accepted publishers.
  LogLine("publisher check refused it: WinVerifyTrust gave 0x%08lx, signer name check %d",
          static_cast<unsigned long>(gLastTrust), gLastNameMatch);
  return 0;
}

bool IsAcceptedPublisher(const char* path) { return AcceptedPublisherPass(path) != 0; }
