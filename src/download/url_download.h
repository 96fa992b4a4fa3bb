#pragma once
#include <windows.h>
#include <urlmon.h>

// URLDownloadToFileA of the URL library in the system directory, loaded by
// full path on first use: the library is not one the system protects from a
// copy planted beside the program, so it is not imported. Null when it is
// missing.
using UrlDownloadToFileFn = HRESULT(WINAPI*)(LPUNKNOWN caller, LPCSTR address, LPCSTR target,
                                             DWORD reserved, LPBINDSTATUSCALLBACK callback);
UrlDownloadToFileFn UrlDownloadToFileFunction();
