#include "base/ansi_bstr.h"

#include "base/system_functions.h"

namespace {
bool IsNtFiveOrLater(DWORD platformVersion) {
  const bool nt = (platformVersion & 0x80000000u) == 0;
  const DWORD major = platformVersion & 0xFF;
  return nt && major >= 5;
}

UINT LocaleAnsiCodePage() {
  char digits[8];
  if (GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, digits, sizeof digits) > 0) {
    UINT codePage = 0;
    for (const char* c = digits; *c >= '0' && *c <= '9'; ++c) codePage = codePage * 10 + (*c - '0');
    if (codePage != 0) return codePage;
  }
  return GetACP();
}
}  // namespace

UINT AnsiCodePageFor(DWORD platformVersion) {
  return IsNtFiveOrLater(platformVersion) ? CP_THREAD_ACP : LocaleAnsiCodePage();
}

BSTR AnsiToBstr(const char* text) {
  if (!text) return nullptr;
  const UINT codePage = AnsiCodePageFor(GetVersion());
  const int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  // The length counts the terminator; 0 means the conversion itself failed.
  if (length <= 0) return nullptr;
  // Without OLE Automation there is no BSTR to make: a failed allocation.
  const auto allocate = GetSystemFunction<SystemFunction::kSysAllocStringLen>();
  BSTR result = allocate ? allocate(nullptr, static_cast<UINT>(length - 1)) : nullptr;
  if (!result) return nullptr;
  if (MultiByteToWideChar(codePage, 0, text, -1, result, length) != length) {
    FreeBstr(result);
    return nullptr;
  }
  return result;
}

void FreeBstr(BSTR text) {
  if (!text) return;
  if (const auto free = GetSystemFunction<SystemFunction::kSysFreeString>()) free(text);
}

void RaiseOutOfMemory() {
  RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  // Not reached (a non-continuable exception cannot be resumed); the platform
  // declaration does not say so.
  ExitProcess(STATUS_NO_MEMORY);
}
