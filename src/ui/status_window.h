#pragma once
#include <windows.h>

#include "base/unique_handle.h"

// The small status window shown while the installer runs: dialog 103 on a
// thread of its own, closed when its status event is signalled. Its template,
// icon and texts come from the program's own module (title: string 2; status
// text: string 1 in the user's default language).

// What the status window thread is started with. The thread owns the order
// (allocated with malloc) and the event handle in it, and frees both.
struct StatusWindowOrder {
  HMODULE module;
  HANDLE statusEvent;
};

// Thread routine; the parameter is a StatusWindowOrder. Nothing else may wait
// on its event (an auto-reset event is consumed by the wait that sees it).
// Returns 0 once the window was shown and destroyed, -1 when it could not be
// created.
DWORD WINAPI StatusWindowThread(LPVOID order);

// Dialog procedure of the status window: sets it up on WM_INITDIALOG (the
// only message for which it returns TRUE; its lParam is the module) and
// leaves the rest to the dialog manager.
INT_PTR CALLBACK StatusDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the status window of module on a new thread and returns the caller's
// handle to its status event, to be handed to EndStatusWindow. The thread gets
// a handle of its own, so the window also ends when EndStatusWindow comes
// before the thread has started waiting. Null when nothing could be started
// (the run goes on without a window).
UniqueHandle StartStatusWindow(HMODULE module);

// Signals the status event and closes the caller's handle; the window ends
// soon after. Does nothing for a null handle. Does not wait for the thread.
void EndStatusWindow(UniqueHandle statusEvent);
