#include "trust/trust_functions.h"

#include "driver/dll_safety.h"

WinVerifyTrustFn WinVerifyTrustFunction() {
  // Loaded once and kept: the process verifies at most a few files.
  static HMODULE library = LoadSystemLibrary("wintrust.dll");
  if (!library) return nullptr;
  return reinterpret_cast<WinVerifyTrustFn>(
      reinterpret_cast<void*>(GetProcAddress(library, "WinVerifyTrust")));
}
