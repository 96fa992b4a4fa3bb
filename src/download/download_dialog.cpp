#include "download/download_dialog.h"

#include <commctrl.h>

#include "base/report.h"
#include "base/system_functions.h"
#include "base/window_placement.h"
#include "download/downloader.h"
#include "resources/resource_ids.h"

HANDLE gDownloadThread = nullptr;

namespace {

// The pointer-sized forms on 64-bit, where a handle or pointer does not fit
// the 32-bit ones.
void SetClassIcon(HWND window, HICON icon) {
#ifdef _WIN64
  SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
#else
  SetClassLongA(window, GCL_HICON, reinterpret_cast<LONG>(icon));
#endif
}

void StoreRequest(HWND window, DownloadRequest* request) {
#ifdef _WIN64
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(request));
#else
  SetWindowLongA(window, GWL_USERDATA, reinterpret_cast<LONG>(request));
#endif
}

DownloadRequest* StoredRequest(HWND window) {
#ifdef _WIN64
  return reinterpret_cast<DownloadRequest*>(GetWindowLongPtrA(window, GWLP_USERDATA));
#else
  return reinterpret_cast<DownloadRequest*>(GetWindowLongA(window, GWL_USERDATA));
#endif
}

// Waits for the download thread to end. Meanwhile it serves the messages
// that other threads send to this one, and only those: the download thread
// may be in the middle of sending a progress update to the dialog's
// controls, which only this thread can deliver, and a plain wait would then
// block both threads for good. Posted messages (timer, input) wait in the
// queue, so nothing of the dialog runs again inside the wait.
void WaitForDownloadThread() {
  HANDLE thread = gDownloadThread;
  for (;;) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    const DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (wait == WAIT_OBJECT_0) return;
    if (wait != WAIT_OBJECT_0 + 1) {
      ReportError("WaitForSingleObject failed, GetLastError()=%d", static_cast<int>(GetLastError()));
      return;
    }
  }
}

void OnInitDialog(HWND window, DownloadRequest* request) {
  CenterOnPrimaryScreen(window);
  // The module the dialog was made from is the program's own.
  HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  SetClassIcon(window, LoadIconA(module, MAKEINTRESOURCEA(IDI_APPLICATION_ICON)));
  SetWindowTextA(window, request->title);
  SetDlgItemTextA(window, IDC_DOWNLOAD_STATUS, request->statusText);
  StoreRequest(window, request);
  request->dialog = window;
  SendDlgItemMessageA(window, IDC_DOWNLOAD_PROGRESS, PBM_SETPOS, 0, 0);
  // The table of system functions is resolved on this thread only.
  GetSystemFunction<SystemFunction::kURLDownloadToFileA>();
  gDownloadThread = CreateThread(nullptr, 0, DownloadThreadMain, request, 0, nullptr);
  SetTimer(window, kDownloadPollTimer, kDownloadPollMs, nullptr);
}

void OnPollTimer(HWND window) {
  KillTimer(window, kDownloadPollTimer);
  const DWORD state = WaitForSingleObject(gDownloadThread, 0);
  if (state == WAIT_TIMEOUT || state == WAIT_FAILED) {
    SetTimer(window, kDownloadPollTimer, kDownloadPollMs, nullptr);
    return;
  }
  DWORD exitCode = 0;
  if (!GetExitCodeThread(gDownloadThread, &exitCode)) {
    ReportError("GetExitCodeThread failed, GetLastError() = %d", static_cast<int>(GetLastError()));
    return;
  }
  // Through int, so that -1 stays -1 in a 64-bit result.
  EndDialog(window, static_cast<int>(exitCode));
}

void OnCancel(HWND window) {
  DownloadRequest* request = StoredRequest(window);
  if (request) request->cancel.store(1, std::memory_order_relaxed);
  WaitForDownloadThread();
  EndDialog(window, -1);
}

void OnDestroy() {
  WaitForDownloadThread();
  if (gDownloadThread) CloseHandle(gDownloadThread);
  gDownloadThread = nullptr;
}

}  // namespace

INT_PTR CALLBACK DownloadDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window, reinterpret_cast<DownloadRequest*>(lParam));
      return TRUE;
    case WM_TIMER:
      OnPollTimer(window);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDCANCEL) return FALSE;
      OnCancel(window);
      return TRUE;
    case WM_CLOSE:
      SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return TRUE;
    default:
      return FALSE;
  }
}
