#pragma once
#include <windows.h>

// A resource's bytes, as the module maps them.
struct ResourceBytes {
  const void* data;
  DWORD size;
};

// Writes the resource name/type of module to target without ever leaving a
// half-written file under the target's name: the bytes go to a scratch file
// in the target's directory, which then replaces the old target. 0 on
// success, with the resource's bytes in written when it is given; -1 after
// reporting the failing step, with no scratch file of this call left behind.
int ExtractFile(HMODULE module, const char* name, const char* type, const char* target,
                ResourceBytes* written = nullptr);
