#pragma once
#include <cstddef>

// Joins head and tail (plain concatenation) into a 260-byte path buffer.
// False, with the buffer holding the empty string, when the joined path would
// not fit with its terminator: a cut path names another file.
bool JoinPath(char* buffer, const char* head, const char* tail);
