#pragma once
#include <windows.h>

#include <cstddef>

// Longest status text taken straight from a string-table block, in characters.
constexpr size_t kMaxBlockStatusChars = 512;

// Finds the status text (string 1) for the given language.
// With a string-table block 1 in exactly that language, its string 1 is copied
// from the raw block; a string 1 longer than 512 characters (or than the
// buffer) gives false, so that the caller keeps its template text. Without such
// a block, or with one too short to hold what its length word claims, the
// platform's own choice (LoadStringW) decides. True when buffer holds the text
// to show; buffer is always terminated when capacity > 0.
bool LoadStatusText(HMODULE module, LANGID language, wchar_t* buffer, size_t capacity);
