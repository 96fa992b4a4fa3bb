#pragma once
#include <windows.h>

// EnumWindows callbacks: each stores the first top-level window of class
// exactly "lmWindow" (case-sensitive) whose first extra window word is the
// main window's (FindMainWindowProc) or the photo viewer's (FindViewerWindowProc)
// mark through lParam, the address of an HWND, and stops the enumeration.
BOOL CALLBACK FindMainWindowProc(HWND window, LPARAM found);
BOOL CALLBACK FindViewerWindowProc(HWND window, LPARAM found);

// How long the window stage as a whole waits for windows that keep answering.
// A window busy with its user (its own "save changes?" prompt inside
// WM_CLOSE) is not hung: the user may be reading, deciding, or away from the
// desk, and giving up kills the process with the user's work. Ten minutes
// lets a user come back and answer; an unattended update still ends.
constexpr DWORD kResponsiveWindowLimitMs = 10 * 60 * 1000;

// How a sent message ended.
enum class WindowReply {
  kHandled,   // the window handled it
  kGone,      // the window no longer exists (or never took the message)
  kHung,      // its thread stopped taking messages: the platform deems it hung
  kTimedOut,  // still busy but answering when the time was up
};

// Sends message (wParam 0, lParam 0) and waits until the window has handled
// it, like SendMessageA, but gives up as soon as the window's thread is hung
// (has taken no message for five seconds, the platform's own measure) and
// at the latest after limitMs. Pumps only this thread's sent messages.
WindowReply SendAndWait(HWND window, UINT message, DWORD limitMs);

// Asks the application's main window, media detector and photo viewer to
// close, in that order, each message handled before the next is sent; hung
// windows are given up on at once, answering ones waited for up to limitMs in
// all.
void CloseApplicationWindows(DWORD limitMs = kResponsiveWindowLimitMs);
