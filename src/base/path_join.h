#pragma once
#include <cstddef>

#include "base/string_ops.h"

// Joins head and tail (plain concatenation) into buffer.
// False, with the buffer holding the empty string, when the joined path would
// not fit with its terminator: a cut path names another file.
bool JoinPath(PathBuffer& buffer, const char* head, const char* tail);
