#include "download/url_download.h"

#include "driver/dll_safety.h"

namespace {
HMODULE gLibrary = nullptr;
bool gLoaded = false;
}  // namespace

UrlDownloadToFileFn UrlDownloadToFileFunction() {
  // Loaded once and kept by whichever thread downloads first; downloads never
  // run at once (not a guarded static local, which would bring the runtime's
  // thread support into the program).
  if (!gLoaded) {
    gLibrary = LoadSystemLibrary("urlmon.dll");
    gLoaded = true;
  }
  HMODULE library = gLibrary;
  if (!library) return nullptr;
  return reinterpret_cast<UrlDownloadToFileFn>(
      reinterpret_cast<void*>(GetProcAddress(library, "URLDownloadToFileA")));
}
