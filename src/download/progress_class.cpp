#include "download/progress_class.h"

#include <windows.h>
#include <commctrl.h>

#include "driver/dll_safety.h"

bool RegisterProgressClass() {
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  static HMODULE library = LoadSystemLibrary("comctl32.dll");
  if (!library) return false;
  auto initialise = reinterpret_cast<InitCommonControlsExFn>(
      reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
  if (!initialise) return false;
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
  return initialise(&classes) != FALSE;
}
