#pragma once
#include <windows.h>

// Queries a value of any type into a buffer of kPathBufferSize (260) bytes and
// guarantees a terminated string. False when the value is missing, longer than
// the buffer, or fills all 260 bytes without a terminator; the buffer's
// contents are then undefined.
bool QueryRegistryText(HKEY key, const char* valueName, char* buffer);
