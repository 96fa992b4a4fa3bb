#include "download/progress_class.h"

#include <windows.h>
#include <commctrl.h>

#include "driver/dll_safety.h"

namespace {
HMODULE gLibrary = nullptr;
bool gLoaded = false;
}  // namespace

bool RegisterProgressClass() {
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  // Loaded once and kept, on the main thread (not as a guarded static local,
  // which would bring the runtime's thread support into the program).
  if (!gLoaded) {
    gLibrary = LoadSystemLibrary("comctl32.dll");
    gLoaded = true;
  }
  HMODULE library = gLibrary;
  if (!library) return false;
  auto initialise = reinterpret_cast<InitCommonControlsExFn>(
      reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
  if (!initialise) return false;
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
  return initialise(&classes) != FALSE;
}
