#pragma once
#include <windows.h>

// True when the browser's default search is the maker's: with a browser
// version text starting with '7' the default search scope must be the
// maker's, otherwise the search provider. False on every failure.
bool CheckBrowserSearch();

// Queries a value of an open key into a 260-byte buffer, whatever its type;
// returns the registry status (0 = read).
LONG ReadRegString(HKEY key, const char* valueName, char* buffer);
