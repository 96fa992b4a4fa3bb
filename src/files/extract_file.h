#pragma once
#include <windows.h>

// Writes the resource name/type of module to target without ever leaving a
// half-written file under the target's name: the bytes go to a scratch file
// in the target's directory, which then replaces the old target. 0 on
// success; -1 after reporting the failing step, with no scratch file of this
// call left behind.
int ExtractFile(HMODULE module, const char* name, const char* type, const char* target);
