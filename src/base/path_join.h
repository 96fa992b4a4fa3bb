#pragma once
#include <cstddef>

// Joins head and tail (plain concatenation) into a 260-byte path buffer.
// False, with the buffer holding the empty string, when the joined path would
// not fit with its terminator: a cut path names another file.
bool JoinPath(char* buffer, const char* head, const char* tail);

// Whether path names a file from a root that does not depend on the current
// directory or drive: "X:\..." with a drive letter, or a share "\\server\...".
// The device namespaces "\\.\" and "\\?\" are refused, and so is everything
// relative ("name", "dir\name", "\name", "X:name", "X:/name").
bool IsRootedPath(const char* path);
