#pragma once
#include <windows.h>

#include "download/download_request.h"

// The download dialog (template 102): shows the request's title and status
// text, a progress bar and the percentage, and offers a cancel command
// (button, Escape, closing the window). It starts the download thread when it
// opens, polls it every 20 ms and ends with the thread's result: 0 for a
// completed download, -1 for a failed or cancelled one. No download thread
// outlives the dialog.
//
// Shown modal with no owner:
//   DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_DOWNLOAD), nullptr,
//                   DownloadDlgProc, reinterpret_cast<LPARAM>(&request))
// which returns -1 as well when the dialog cannot be created.
INT_PTR CALLBACK DownloadDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The running download thread, set when the dialog starts it and closed and
// cleared when the dialog is destroyed; so there is at most one download
// dialog at a time.
extern HANDLE gDownloadThread;

// The poll timer's identifier and period.
constexpr UINT_PTR kDownloadPollTimer = 0;
constexpr UINT kDownloadPollMs = 20;
