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

// Like SendMessageA (returns once the window has handled the message), but a
// window that does not answer in time, or whose thread is already hung, is
// given up on instead of blocking the shutdown for ever.
bool SendAndWait(HWND window, UINT message) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, message, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                             kWindowMessageTimeoutMs, &result) != 0;
}

// A window that did not handle WM_CLOSE in time will not handle WM_DESTROY
// either: skip it rather than wait a second time.
void CloseAndDestroy(HWND window) {
  if (SendAndWait(window, WM_CLOSE)) SendAndWait(window, WM_DESTROY);
}
}  // namespace

BOOL CALLBACK FindMainWindowProc(HWND window, LPARAM found) {
  return StoreIfMarked(window, found, kMainWindowMark);
}

BOOL CALLBACK FindViewerWindowProc(HWND window, LPARAM found) {
  return StoreIfMarked(window, found, kViewerWindowMark);
}

void CloseApplicationWindows() {
  if (HWND main = FindApplicationWindow(kMainWindowTitle, FindMainWindowProc))
    SendAndWait(main, WM_CLOSE);
  if (HWND detector = FindApplicationWindow(kDetectorWindowTitle, nullptr))
    CloseAndDestroy(detector);
  if (HWND viewer = FindApplicationWindow(kViewerWindowTitle, FindViewerWindowProc))
    CloseAndDestroy(viewer);
}
