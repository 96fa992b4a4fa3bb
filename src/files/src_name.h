#pragma once
#include <cstddef>

// A src value names an embedded resource as NAME.TYPE (after the last
// backslash, split at the last dot that is not the first character).
constexpr size_t kResourceNameSize = 64;  // 63 characters and the NUL
constexpr size_t kResourceTypeSize = 5;   // 4 characters and the NUL

// Writes the part before the dot; false when there is no usable dot or the
// name has more than 63 characters.
bool SplitSrcName(const char* src, char (&name)[kResourceNameSize]);

// Writes the part after the dot (possibly empty); false when there is no
// usable dot or the type has more than 4 characters.
bool SplitSrcExt(const char* src, char (&type)[kResourceTypeSize]);

// Both splits, upper-cased as resources are looked up; false when either fails.
bool SplitResourceSrc(const char* src, char (&name)[kResourceNameSize], char (&type)[kResourceTypeSize]);

// Upper-cases ASCII letters in place; other bytes and a null string are left alone.
void MakeUpper(char* text);
