#pragma once
#include <windows.h>

// Moves a window so that it is centred on the primary screen, without
// resizing or activating it; it also goes to the top of the Z order.
// Coordinates are rounded down, also when the window is larger than the
// screen (the offset is then negative). False when the window's rectangle
// cannot be read or the move fails.
bool CenterOnPrimaryScreen(HWND window);
