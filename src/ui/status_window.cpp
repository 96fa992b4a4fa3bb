#include "ui/status_window.h"

#include <cstdlib>

#include "base/unique_handle.h"
#include "base/window_placement.h"
#include "resources/resource_ids.h"
#include "ui/status_text.h"

namespace {
// Holds the title first and then the status text.
constexpr int kTextBufferChars = 1024;

// Serves the window's messages until the status event is signalled.
void ServeUntilSignalled(HWND window, HANDLE statusEvent) {
  for (;;) {
    const DWORD wait =
        MsgWaitForMultipleObjects(1, &statusEvent, FALSE, INFINITE, QS_ALLINPUT);
    // A failed wait would fail again at once: end rather than spin forever.
    // (The download dialog goes on after a failed wait instead: its timer,
    // not the wait, drives it, and it must still finish its download.)
    if (wait == WAIT_OBJECT_0 || wait == WAIT_FAILED) return;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!(IsWindow(window) && IsDialogMessageA(window, &message))) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
      // Messages may keep arriving faster than they are served; the signal
      // must still end the window without waiting for the queue to empty.
      if (WaitForSingleObject(statusEvent, 0) == WAIT_OBJECT_0) return;
    }
  }
}
}  // namespace

INT_PTR CALLBACK StatusDlgProc(HWND window, UINT message, WPARAM, LPARAM parameter) {
  if (message != WM_INITDIALOG) return FALSE;
  const HMODULE module = reinterpret_cast<HMODULE>(parameter);

  CenterOnPrimaryScreen(window);

  HICON icon = LoadIconA(module, MAKEINTRESOURCEA(IDI_APPLICATION_ICON));
  if (icon) SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));

  wchar_t text[kTextBufferChars];
  if (LoadStringW(module, IDS_STATUS_TITLE, text, kTextBufferChars) > 0)
    SetWindowTextW(window, text);

  if (LoadStatusText(module, GetUserDefaultLangID(), text, kTextBufferChars)) {
    HWND statusText = GetDlgItem(window, IDC_STATUS_TEXT);
    if (statusText) SetWindowTextW(statusText, text);
  }
  return TRUE;
}

DWORD WINAPI StatusWindowThread(LPVOID parameter) {
  StatusWindowOrder* order = static_cast<StatusWindowOrder*>(parameter);
  const HMODULE module = order->module;
  const UniqueHandle statusEvent(order->statusEvent);
  free(order);
  DWORD result = static_cast<DWORD>(-1);
  HWND window = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_STATUS), nullptr, StatusDlgProc,
                                   reinterpret_cast<LPARAM>(module));
  if (window) {
    // Shown without activation: the user may be working in another window
    // while the installer runs.
    ShowWindow(window, SW_SHOWNA);
    UpdateWindow(window);
    ServeUntilSignalled(window, statusEvent.get());
    DestroyWindow(window);
    result = 0;
  }
  return result;
}

UniqueHandle StartStatusWindow(HMODULE module) {
  UniqueHandle statusEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!statusEvent) return UniqueHandle();
  ResetEvent(statusEvent.get());

  // The caller closes its handle right after signalling, possibly before the
  // thread waits: the thread's own handle keeps the signalled event alive.
  UniqueHandle threadEvent;
  const HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, statusEvent.get(), self, threadEvent.receive(), 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return UniqueHandle();
  StatusWindowOrder* order = static_cast<StatusWindowOrder*>(malloc(sizeof(StatusWindowOrder)));
  if (!order) return UniqueHandle();
  *order = StatusWindowOrder{module, threadEvent.get()};
  const UniqueHandle thread(CreateThread(nullptr, 0, StatusWindowThread, order, 0, nullptr));
  if (!thread) {
    free(order);
    return UniqueHandle();
  }
  threadEvent.release();  // the thread's now
  return statusEvent;
}

void EndStatusWindow(UniqueHandle statusEvent) {
  if (statusEvent) SetEvent(statusEvent.get());
}
