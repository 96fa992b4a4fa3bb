#pragma once
#include <windows.h>

#include <string>

// Waits at most timeoutMs for done() to hold, looking every 2 ms.
template <typename Done>
bool WaitFor(Done done, DWORD timeoutMs = 10000) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(2);
  }
  return true;
}

// A dialog window (class #32770) of the process that has a control with
// controlId, visible unless anyVisibility; null when there is none.
HWND FindDialog(DWORD processId, int controlId, bool anyVisibility = false);

// The text of a window, or of a dialog's control; empty for a null window.
std::string WindowText(HWND window);
std::string DialogItemText(HWND dialog, int controlId);
