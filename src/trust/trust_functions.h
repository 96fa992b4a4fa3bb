#pragma once
#include <windows.h>

// WinVerifyTrust of the trust library in the system directory, loaded by
// full path on first use (a program started from a downloads folder must
// not pick up a library planted beside it); null when it is missing.
using WinVerifyTrustFn = LONG(WINAPI*)(HWND window, GUID* action, LPVOID data);
WinVerifyTrustFn WinVerifyTrustFunction();
