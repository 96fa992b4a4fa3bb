#pragma once
#include <windows.h>

// Limits the DLL search of this process to the system directory.
void RestrictDllSearch();

// Loads a DLL by bare name from the system directory only; null on failure.
HMODULE LoadSystemLibrary(const char* name);
