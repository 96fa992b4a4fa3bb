#pragma once
#include <windows.h>

// The bytes of a held file against the bytes it was written from, read
// through the hold's own handle (never by its path again, which may name
// another file by now).
struct HeldContent {
  bool same;
  // The file's size, and the offset of its first byte that differs from the
  // expected bytes: the smaller size when one is the start of the other.
  unsigned long long size;
  DWORD firstDifference;
  // Non-null when the file could not be read: the call that failed, with
  // GetLastError() in error. same is then false.
  const char* failedCall;
  DWORD error;
};

// held must be open for reading. Reads the file through read-only views of
// a mapping of the handle, at most kHeldViewBytes at a time, so that a large
// installer needs no second address range of its own size.
HeldContent CompareHeldFile(HANDLE held, const void* expected, DWORD expectedSize);

constexpr DWORD kHeldViewBytes = 64u << 20;
