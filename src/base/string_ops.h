#pragma once
#include <cstddef>

// Size of the fixed path, registry-string and tag-name buffers: the
// platform's MAX_PATH.
constexpr size_t kPathBufferSize = 260;
// The buffer functions take by reference, so that the compiler checks its size.
using PathBuffer = char[kPathBufferSize];

// The longest directory GetTempFileNameA takes (as documented): the name it
// makes needs a backslash, a three-letter prefix, up to four hex digits,
// ".tmp" and the NUL. With a longer one Wine reports success and writes a
// cut name of 260 bytes without a terminator.
constexpr size_t kTempFileDirectoryMax = kPathBufferSize - 14;

// Removes spaces, tabs, carriage returns and line feeds from both ends of the
// string, in place (the trailing ones first). A null string is left alone.
void TrimWhitespace(char* text);

// Appends suffix to the string in buffer, never writing past it. Returns the
// length the joined string would have had: kPathBufferSize or more means the
// suffix was cut (or the buffer held no NUL and nothing was written).
size_t AppendBounded(PathBuffer& buffer, const char* suffix);

// Joins head and tail (plain concatenation) into buffer.
// False, with the buffer holding the empty string, when the joined path would
// not fit with its terminator: a cut path names another file.
bool JoinPath(PathBuffer& buffer, const char* head, const char* tail);

// Whether path names a file from a root that does not depend on the current
// directory or drive: "X:\..." with a drive letter, or a share "\\server\...".
// The device namespaces "\\.\" and "\\?\" are refused, and so is everything
// relative ("name", "dir\name", "\name", "X:name", "X:/name").
bool IsRootedPath(const char* path);
