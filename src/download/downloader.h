#pragma once
#include <windows.h>

#include "download/download_request.h"

// Downloads request->address into request->targetPath with the platform's
// synchronous URL download (from the table of system functions; on another
// thread than the main one, the table must have resolved it before) and a
// BSCProgress for the request. 0 when the
// platform reported the file written; -1 otherwise, after reporting
// "Downloader - URLDownloadToFile(<address>) failed, <result>" (a cancel
// prints -2147467260) and deleting whatever part of the file was written.
// An empty target path fails the same way without a request (-2147024809).
// An HTTP error status is not a failure here: the platform writes the error
// page and reports success, so the caller must check what it got.
int Downloader(DownloadRequest* request);

// Downloader as a thread routine: the parameter is the request, the exit
// code Downloader's result.
DWORD WINAPI DownloadThreadMain(LPVOID request);
