#include "download/downloader.h"

#include "download/bsc_progress.h"
#include "download/url_download.h"
#include "driver/report.h"

namespace {
// What a missing URL library reports as the download's result.
constexpr HRESULT kNoUrlLibrary = static_cast<HRESULT>(0x8007007E);  // from ERROR_MOD_NOT_FOUND
}  // namespace

int Downloader(DownloadRequest* request) {
  BSCProgress callback(request);
  UrlDownloadToFileFn download = UrlDownloadToFileFunction();
  const HRESULT result =
      download ? download(nullptr, request->address, request->targetPath, 0, &callback)
               : kNoUrlLibrary;
  if (result == S_OK) return 0;
  ReportError("Downloader - URLDownloadToFile(%s) failed, %d", request->address,
              static_cast<int>(result));
  // A failed or cancelled download leaves what had arrived; nobody may take
  // it for the program.
  DeleteFileA(request->targetPath);
  return -1;
}

DWORD WINAPI DownloadThreadMain(LPVOID request) {
  return static_cast<DWORD>(Downloader(static_cast<DownloadRequest*>(request)));
}
