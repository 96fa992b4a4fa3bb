#pragma once
#include <windows.h>

// EnumWindows callbacks: each stores the first top-level window of class
// exactly "lmWindow" (case-sensitive) whose first extra window word is the
// main window's (FindMainWindowProc) or the photo viewer's (FindViewerWindowProc)
// mark through lParam, the address of an HWND, and stops the enumeration.
BOOL CALLBACK FindMainWindowProc(HWND window, LPARAM found);
BOOL CALLBACK FindViewerWindowProc(HWND window, LPARAM found);

// Asks the application's main window, media detector and photo viewer to close,
// in that order, waiting for each message to be handled but never longer than
// kWindowMessageTimeoutMs per message.
void CloseApplicationWindows();

// How long one message may keep the shutdown waiting. Windows itself deems a
// window hung after five seconds without answering; a busy application saving
// its work still gets that long.
constexpr UINT kWindowMessageTimeoutMs = 5000;
