#pragma once
#include <cstddef>

// Size of the fixed path, registry-string and tag-name buffers.
constexpr size_t kPathBufferSize = 260;

// Removes spaces, tabs, carriage returns and line feeds from both ends of the
// string, in place (the trailing ones first). A null string is left alone.
void TrimWhitespace(char* text);

// Appends suffix to the string in a 260-byte buffer, never writing past it.
// Returns the length the joined string would have had: 260 or more means the
// suffix was cut (or the buffer held no NUL and nothing was written).
size_t AppendBounded(char* buffer, const char* suffix);
