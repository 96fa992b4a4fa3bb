#pragma once
#include <cstddef>

// What precedes the caller's path in the caller command line.
constexpr char kCallerMarker[] = "/CALLER \"";

// Size of the buffer that holds an extended caller command line.
constexpr size_t kCallerCommandLineSize = 2048;
using CallerCommandLine = char[kCallerCommandLineSize];

// Appends ' /CALLER "<programPath>"' to the caller command line (no leading
// space when it was empty) in a new 2048-byte buffer that becomes the caller
// command line and is never released. False, leaving the caller command line
// as it was, after reporting why: the result would not fit, or the buffer
// cannot be had.
bool ExtendCallerCommandLine(const char* programPath);

// The text the extension would produce from current and programPath, written
// into buffer; false when it does not fit.
bool ComposeCallerCommandLine(const char* current, const char* programPath,
                              CallerCommandLine& buffer);
