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

// One pass: the platform's verdict on the signature in *trust, then, when it
// is valid, MatchSignerName's result for acceptedName (0: the signer is
// acceptedName; 0 too when Crypt32 cannot be had, so that the verification
// alone decides). Any other value refuses the file.
int CheckSigner(const char* path, const wchar_t* acceptedName, LONG* trust) {
  BSTR widePath = AnsiToBstr(path);
  if (path && !widePath) RaiseOutOfMemory();
  BstrHolder release(widePath);
  *trust = VerifyTrust(widePath);
  if (*trust != 0) return 0;
  // Loaded for this pass only, by full path from the system directory.
  HMODULE crypt32 = LoadSystemLibrary("crypt32.dll");
  if (!crypt32) return 0;
  const int result = MatchSignerName(crypt32, widePath, acceptedName);
  FreeLibrary(crypt32);
  return result;
}
}  // namespace

bool VerifySignerName(const char* path, const wchar_t* acceptedName) {
  LONG trust = 0;
  const int nameMatch = CheckSigner(path, acceptedName, &trust);
  return trust == 0 && nameMatch == 0;
}

int AcceptedPublisherPass(const char* path) {
  LONG trust = 0;
  int nameMatch = 0;
  for (int pass = 0; pass < kAcceptedPublisherCount; ++pass) {
    nameMatch = CheckSigner(path, kAcceptedPublishers[pass], &trust);
    if (trust == 0 && nameMatch == 0) {
      LogLine("publisher check: signed by %ls", kAcceptedPublishers[pass]);
      return pass + 1;
    }
  }
  // A signer name check of -1: the signature is valid, its signer none of
  // the accepted publishers.
  LogLine("publisher check refused it: WinVerifyTrust gave 0x%08lx, signer name check %d",
          static_cast<unsigned long>(trust), nameMatch);
  return 0;
}

bool IsAcceptedPublisher(const char* path) { return AcceptedPublisherPass(path) != 0; }
