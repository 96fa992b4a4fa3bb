#include "download/download_dialog.h"

#include <commctrl.h>

#include "base/system_functions.h"
#include "base/window_placement.h"
#include "download/download_job.h"
#include "download/downloader.h"
#include "resources/resource_ids.h"

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
  request->job = StartUrlRunDownload(request);
  if (!request->job) {
    EndDialog(window, -1);
    return;
  }
  SetTimer(window, kDownloadPollTimer, kDownloadPollMs, nullptr);
}

// Finishes the request's download (aborting a call that has not ended) and
// gives its result.
int FinishRequestDownload(HWND window, DownloadRequest* request) {
  KillTimer(window, kDownloadPollTimer);
  DownloadJob* job = request->job;
  request->job = nullptr;
  return UrlRunDownloadResult(request, FinishDownload(job));
}

void OnPollTimer(HWND window) {
  DownloadRequest* request = StoredRequest(window);
  if (request && request->job && DownloadEndedOrStalled(request->job))
    EndDialog(window, FinishRequestDownload(window, request));
}

void OnCancel(HWND window) {
  DownloadRequest* request = StoredRequest(window);
  if (request) {
    request->cancel.store(1, std::memory_order_relaxed);
    if (request->job) FinishRequestDownload(window, request);
  }
  EndDialog(window, -1);
}

void OnDestroy(HWND window) {
  DownloadRequest* request = StoredRequest(window);
  if (request && request->job) FinishRequestDownload(window, request);
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
      OnDestroy(window);
      return TRUE;
    default:
      return FALSE;
  }
}

bool RegisterProgressClass() {
  auto initialise = GetSystemFunction<SystemFunction::kInitCommonControlsEx>();
  if (!initialise) return false;
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
  return initialise(&classes) != FALSE;
}
