#pragma once
#include <windows.h>

#include "download/download_request.h"

// The download dialog (template 102): shows the request's title and status
// text, a progress bar and the percentage, and offers a cancel command
// (button, Escape, closing the window). It starts the request's download
// (download/downloader.h) when it opens, polls it every 20 ms and ends with
// its result: 0 for a completed download, -1 for a failed, stalled (no byte
// for kDownloadStallLimitMs) or cancelled one, and -1 at once when the
// download cannot start. A cancel aborts the download call, which ends it
// at once whatever the server does. No download thread outlives the dialog,
// unless the platform has not ended an aborted call within
// kDownloadAbortGraceMs: the thread is then left behind without the dialog
// and the request (download/download_engine.h).
//
// Shown modal with no owner:
//   DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_DOWNLOAD), nullptr,
//                   DownloadDlgProc, reinterpret_cast<LPARAM>(&request))
// which returns -1 as well when the dialog cannot be created.
INT_PTR CALLBACK DownloadDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The poll timer's identifier and period.
constexpr UINT_PTR kDownloadPollTimer = 0;
constexpr UINT kDownloadPollMs = 20;

// Registers the platform's progress bar class, which the download dialog's
// template uses, with the common controls library of the table of system
// functions (not imported: the system does not protect it from a copy planted
// beside the program). False when the library or its initialisation is
// missing; the dialog then cannot be made.
bool RegisterProgressClass();
