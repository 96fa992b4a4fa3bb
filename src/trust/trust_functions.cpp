#include "trust/trust_functions.h"

#include "driver/dll_safety.h"

namespace {
HMODULE gLibrary = nullptr;
bool gLoaded = false;
}  // namespace

WinVerifyTrustFn WinVerifyTrustFunction() {
  // Loaded once and kept, on the main thread (not as a guarded static local,
  // which would bring the runtime's thread support into the program).
  if (!gLoaded) {
    gLibrary = LoadSystemLibrary("wintrust.dll");
    gLoaded = true;
  }
  HMODULE library = gLibrary;
  if (!library) return nullptr;
  return reinterpret_cast<WinVerifyTrustFn>(
      reinterpret_cast<void*>(GetProcAddress(library, "WinVerifyTrust")));
}
