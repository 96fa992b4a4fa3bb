#pragma once
#include <windows.h>
#include <oleauto.h>

// Converts an 8-bit string in the calling thread's ANSI code page to a newly
// allocated BSTR of exactly its length; the caller frees it with SysFreeString.
// Null for a null input, a failed allocation or a failed conversion.
BSTR AnsiToBstr(const char* text);

// The code page that AnsiToBstr converts from, for a platform version in the
// form GetVersion() returns: the thread's ANSI code page on NT 5 and later,
// otherwise the default ANSI code page of the thread's locale (or the system's
// when the locale names none).
UINT AnsiCodePageFor(DWORD platformVersion);

// SysFreeString, taken from the system at its first use; null does nothing.
void FreeBstr(BSTR text);

// Frees a BSTR when it goes out of scope.
class BstrHolder {
 public:
  explicit BstrHolder(BSTR text) : text_(text) {}
  ~BstrHolder() { FreeBstr(text_); }
  BstrHolder(const BstrHolder&) = delete;
  BstrHolder& operator=(const BstrHolder&) = delete;
  BSTR get() const { return text_; }

 private:
  BSTR text_;
};

// Ends the process with the non-continuable STATUS_NO_MEMORY exception; used
// where a conversion the program cannot do without failed to allocate.
[[noreturn]] void RaiseOutOfMemory();
