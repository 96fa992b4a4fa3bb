#pragma once
#include <windows.h>

#include <atomic>

struct DownloadJob;

// One download, filled by the caller (which keeps it alive until the download
// has ended) and shared by the download dialog and the download thread. The
// texts are borrowed.
struct DownloadRequest {
  const char* address;     // the URL to download
  const char* targetPath;  // full path of the file to write
  const char* title;       // the dialog's title bar
  const char* statusText;  // the dialog's status line (control 1002)
  HWND dialog;             // set by the dialog when it starts; stays null when hidden
  // 0 at start; the dialog's cancel command sets 1 and the download thread
  // reads it at every notification. A byte without a lock: nothing else is
  // shared.
  std::atomic<unsigned char> cancel;
  DownloadJob* job;        // the dialog's running download (download/download_engine.h)
};
