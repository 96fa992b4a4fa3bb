#pragma once
#include <windows.h>

#include "base/string_ops.h"

// Creates every directory named along path: each prefix that ends before a
// backslash, from left to right. The part after the last backslash is left
// alone, so a file path gets all its parents and a path ending in a
// backslash its last directory too. False for a null path or one that does
// not fit a 260-byte buffer; otherwise true, whatever the creations did.
bool CreatePathDirectories(const char* path);

// Reads the temporary directory (with its trailing backslash) into
// directory. ERROR_SUCCESS, or why there is none, with directory empty: the
// platform's error, or ERROR_INSUFFICIENT_BUFFER for a directory that does
// not fit (the platform then gives the size it needs and leaves the buffer
// untouched).
DWORD ReadTempDirectory(PathBuffer& directory);

// Reads this program's own path into path. Its length; 0 when it cannot be
// read or does not fit whole (a cut path would name another file), with
// GetLastError() telling why.
DWORD ReadOwnPath(char* path, DWORD size);
template <size_t Size>
DWORD ReadOwnPath(char (&path)[Size]) {
  return ReadOwnPath(path, static_cast<DWORD>(Size));
}
