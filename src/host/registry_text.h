#pragma once
#include <windows.h>

#include "base/string_ops.h"

// Queries a value of any type into buffer and guarantees a terminated string.
// False when the value is missing, longer than the buffer, or fills all of it
// without a terminator; the buffer's contents are then undefined.
bool QueryRegistryText(HKEY key, const char* valueName, PathBuffer& buffer);
