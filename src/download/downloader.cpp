#include "download/downloader.h"

#include "base/report.h"
#include "base/system_functions.h"
#include "download/bsc_progress.h"

namespace {
// What a missing URL library reports as the download's result.
constexpr HRESULT kNoUrlLibrary = static_cast<HRESULT>(0x8007007E);  // from ERROR_MOD_NOT_FOUND

HRESULT Download(DownloadRequest* request) {
  // Wine's URL library reports success for an empty target, though no file
  // was asked for: a download without a file is refused here.
  if (!request->targetPath || !request->targetPath[0]) return E_INVALIDARG;
  auto download = GetSystemFunction<SystemFunction::kURLDownloadToFileA>();
  if (!download) return kNoUrlLibrary;
  BSCProgress callback(request);
  return download(nullptr, request->address, request->targetPath, 0, &callback);
}
}  // namespace

int Downloader(DownloadRequest* request) {
  const HRESULT result = Download(request);
  if (result == S_OK) return 0;
  ReportError("Downloader - URLDownloadToFile(%s) failed, %d", request->address,
              static_cast<int>(result));
  // A failed or cancelled download leaves what had arrived; nobody may take
  // it for the program.
  if (request->targetPath) DeleteFileA(request->targetPath);
  return -1;
}

DWORD WINAPI DownloadThreadMain(LPVOID request) {
  return static_cast<DWORD>(Downloader(static_cast<DownloadRequest*>(request)));
}
