#pragma once
#include <windows.h>

// The small status window shown while the installer runs: dialog 103 on a
// thread of its own, closed when its status event is signalled. Its texts come
// from the module gModule (title: string 2; status text: string 1 in the
// user's default language).

// Thread routine. The parameter is a handle to the status event that this
// thread owns and closes when it ends; nothing else may wait on that event
// (an auto-reset event is consumed by the wait that sees it). Returns 0 once
// the window was shown and destroyed, -1 when it could not be created.
DWORD WINAPI StatusWindowThread(LPVOID statusEvent);

// Dialog procedure of the status window: sets it up on WM_INITDIALOG (the
// only message for which it returns TRUE) and leaves the rest to the dialog
// manager.
INT_PTR CALLBACK StatusDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the status window on a new thread and returns the caller's handle to
// its status event, to be passed to EndStatusWindow. The thread gets a handle
// of its own, so the window also ends when EndStatusWindow comes before the
// thread has started waiting. Null when nothing could be started (the run
// goes on without a window).
HANDLE StartStatusWindow();

// Signals the status event and closes the caller's handle; the window ends
// soon after. Does nothing for a null handle. Does not wait for the thread.
void EndStatusWindow(HANDLE statusEvent);
