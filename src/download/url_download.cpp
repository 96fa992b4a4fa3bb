#include "download/url_download.h"

#include "driver/dll_safety.h"

UrlDownloadToFileFn UrlDownloadToFileFunction() {
  static HMODULE library = LoadSystemLibrary("urlmon.dll");
  if (!library) return nullptr;
  return reinterpret_cast<UrlDownloadToFileFn>(
      reinterpret_cast<void*>(GetProcAddress(library, "URLDownloadToFileA")));
}
