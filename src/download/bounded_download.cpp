#include "download/bounded_download.h"

#include "download/download_engine.h"

HRESULT DownloadWithin(const char* address, const char* targetPath, DWORD limitMs) {
  DownloadRequest request{};
  request.address = address;
  request.targetPath = targetPath;
  DownloadStartFailure failure;
  DownloadJob* job = StartDownload(&request, true, &failure);
  if (!job) return failure.result;
  return AwaitDownload(job, limitMs);
}
