#pragma once
#include <windows.h>

#include "base/string_ops.h"

// True when the browser's default search is the maker's: with a browser
// version text starting with '7' the default search scope must be the
// maker's, otherwise the search provider. False on every failure.
bool CheckBrowserSearch();

// Queries a value of an open key into buffer, whatever its type; returns the
// registry status (0 = read).
LONG ReadRegString(HKEY key, const char* valueName, PathBuffer& buffer);
