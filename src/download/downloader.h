#pragma once
#include <windows.h>

#include "download/download_engine.h"
#include "download/download_request.h"

// Downloads request->address into request->targetPath with the download
// engine, on a thread of its own while this one waits (for a hidden
// download: no window). 0 when the platform reported the file written; -1
// otherwise, after the reports of UrlRunDownloadResult. A download that
// receives no byte for kDownloadStallLimitMs is aborted and fails so
// (-2147467260). An HTTP error status is not a failure here: the platform
// writes the error page and reports success, so the caller must check what
// it got. Call on the main thread.
int Downloader(DownloadRequest* request);

// URLRUN's downloads, hidden or behind the dialog, start with this: the
// engine's download without an apartment of its own, or null after
// reporting why not (the thread that could not be made, or the failure as
// for a download that failed).
DownloadJob* StartUrlRunDownload(DownloadRequest* request);

// And end with this: 0 for S_OK; otherwise the report of the address and the
// result (E_ABORT for a cancel), the deletion of whatever part of the file
// was written, -1.
int UrlRunDownloadResult(DownloadRequest* request, HRESULT result);
