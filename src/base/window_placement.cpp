#include "base/window_placement.h"

bool CenterOnPrimaryScreen(HWND window) {
  RECT frame;
  if (!GetWindowRect(window, &frame)) return false;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  // An arithmetic shift halves toward minus infinity, where a division would
  // round a negative offset toward zero.
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) >> 1;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) >> 1;
  return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE) != FALSE;
}
