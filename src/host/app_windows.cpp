#include "host/app_windows.h"

#include <cstring>

namespace {
constexpr char kWindowClass[] = "lmWindow";
constexpr char kMainWindowTitle[] = "Lumeno2";
constexpr char kDetectorWindowTitle[] = "Lumeno Media Detector";
constexpr char kViewerWindowTitle[] = "Lumeno Photo Viewer";
constexpr LONG kMainWindowMark = 0x4C4B6332;
constexpr LONG kViewerWindowMark = 0x4C4B7331;

bool IsMarkedApplicationWindow(HWND window, LONG mark) {
  char className[512];
  if (GetClassNameA(window, className, sizeof className) == 0) return false;
  return strcmp(className, kWindowClass) == 0 && GetWindowLongA(window, 0) == mark;
}

BOOL StoreIfMarked(HWND window, LPARAM found, LONG mark) {
  if (!IsMarkedApplicationWindow(window, mark)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Looks the window up by class and title, and failing that (when a
// callback is given) by enumerating for its mark.
HWND FindApplicationWindow(const char* title, WNDENUMPROC findByMark) {
  HWND window = FindWindowA(kWindowClass, title);
  if (!window && findByMark) EnumWindows(findByMark, reinterpret_cast<LPARAM>(&window));
  return window;
}

// Each send is numbered; a reply records the newest number answered. A late
// reply to a message given up on carries an older number and changes nothing.
// The numbers live here, not with the caller: a reply may come after the
// send that waited for it has returned, and must find them still there.
ULONG_PTR gSendNumber = 0;
ULONG_PTR gRepliedNumber = 0;

void CALLBACK OnReply(HWND, UINT, ULONG_PTR number, LRESULT) {
  if (number > gRepliedNumber) gRepliedNumber = number;
}

// How often a window that has not replied yet is looked at again.
constexpr DWORD kReplyCheckMs = 100;

DWORD MsLeft(ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// A window that did not handle WM_CLOSE will not handle WM_DESTROY either:
// skip it rather than wait a second time.
void CloseAndDestroy(HWND window, ULONGLONG deadline) {
  if (SendAndWait(window, WM_CLOSE, MsLeft(deadline)) == WindowReply::kHandled)
    SendAndWait(window, WM_DESTROY, MsLeft(deadline));
}
}  // namespace

BOOL CALLBACK FindMainWindowProc(HWND window, LPARAM found) {
  return StoreIfMarked(window, found, kMainWindowMark);
}

BOOL CALLBACK FindViewerWindowProc(HWND window, LPARAM found) {
  return StoreIfMarked(window, found, kViewerWindowMark);
}

WindowReply SendAndWait(HWND window, UINT message, DWORD limitMs) {
  // SMTO_ABORTIFHUNG's test: a window that is hung now is not asked at all.
  if (IsHungAppWindow(window)) return WindowReply::kHung;
  const ULONG_PTR number = ++gSendNumber;
  if (!SendMessageCallbackA(window, message, 0, 0, OnReply, number)) return WindowReply::kGone;
  const ULONGLONG deadline = GetTickCount64() + limitMs;
  for (;;) {
    // The reply arrives as a sent message of this thread; peeking runs it.
    MSG pending;
    PeekMessageA(&pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (gRepliedNumber == number) return WindowReply::kHandled;
    // Destroyed while handling it (what was asked for has happened), or its
    // process ended: no reply is worth waiting for.
    if (!IsWindow(window)) return WindowReply::kGone;
    if (IsHungAppWindow(window)) return WindowReply::kHung;
    const DWORD left = MsLeft(deadline);
    if (left == 0) return WindowReply::kTimedOut;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, left < kReplyCheckMs ? left : kReplyCheckMs,
                              QS_SENDMESSAGE);
  }
}

void CloseApplicationWindows(DWORD limitMs) {
  const ULONGLONG deadline = GetTickCount64() + limitMs;
  if (HWND main = FindApplicationWindow(kMainWindowTitle, FindMainWindowProc))
    SendAndWait(main, WM_CLOSE, MsLeft(deadline));
  if (HWND detector = FindApplicationWindow(kDetectorWindowTitle, nullptr))
    CloseAndDestroy(detector, deadline);
  if (HWND viewer = FindApplicationWindow(kViewerWindowTitle, FindViewerWindowProc))
    CloseAndDestroy(viewer, deadline);
}
