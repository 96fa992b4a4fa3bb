#include "download/downloader.h"

#include "base/report.h"

DownloadJob* StartUrlRunDownload(DownloadRequest* request) {
  DownloadStartFailure failure;
  DownloadJob* job = StartDownload(request, false, &failure);
  if (job) return job;
  if (failure.threadNotCreated)
    ReportError("CreateThread failed, GetLastError()=%d", static_cast<int>(failure.error));
  else
    UrlRunDownloadResult(request, failure.result);
  return nullptr;
}

int UrlRunDownloadResult(DownloadRequest* request, HRESULT result) {
  if (result == S_OK) return 0;
  ReportError("Downloader - URLDownloadToFile(%s) failed, %d", request->address,
              static_cast<int>(result));
  // A failed or cancelled download leaves what had arrived; nobody may take
  // it for the program.
  if (request->targetPath) DeleteFileA(request->targetPath);
  return -1;
}

int Downloader(DownloadRequest* request) {
  DownloadJob* job = StartUrlRunDownload(request);
  if (!job) return -1;
  return UrlRunDownloadResult(request, AwaitDownload(job, INFINITE));
}
