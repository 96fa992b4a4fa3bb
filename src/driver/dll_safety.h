#pragma once
#include <windows.h>

// Limits the DLL search of this process to the system directory.
void RestrictDllSearch();

