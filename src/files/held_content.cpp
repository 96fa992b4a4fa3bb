#include "files/held_content.h"

#include <cstring>

#include "base/unique_handle.h"

namespace {

HeldContent Unreadable(const char* call, unsigned long long size) {
  const DWORD error = GetLastError();
  return HeldContent{false, size, 0, call, error};
}

// Offset of the first differing byte of two ranges known to differ.
DWORD FirstDifference(const unsigned char* a, const unsigned char* b, DWORD length) {
  DWORD offset = 0;
  while (offset < length && a[offset] == b[offset]) ++offset;
  return offset;
}

}  // namespace

HeldContent CompareHeldFile(HANDLE held, const void* expected, DWORD expectedSize) {
  LARGE_INTEGER fileSize;
  if (!GetFileSizeEx(held, &fileSize)) return Unreadable("GetFileSizeEx", 0);
  const unsigned long long size = static_cast<unsigned long long>(fileSize.QuadPart);
  const DWORD common = size < expectedSize ? static_cast<DWORD>(size) : expectedSize;

  // A file of no bytes cannot be mapped, and has nothing to compare.
  if (common > 0) {
    UniqueHandle mapping(CreateFileMappingA(held, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return Unreadable("CreateFileMapping", size);
    const unsigned char* want = static_cast<const unsigned char*>(expected);
    for (DWORD offset = 0; offset < common;) {
      const DWORD length = common - offset < kHeldViewBytes ? common - offset : kHeldViewBytes;
      const void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, offset, length);
      if (!view) return Unreadable("MapViewOfFile", size);
      const unsigned char* have = static_cast<const unsigned char*>(view);
      const bool differs = memcmp(have, want + offset, length) != 0;
      const DWORD at = differs ? offset + FirstDifference(have, want + offset, length) : 0;
      UnmapViewOfFile(view);
      if (differs) return HeldContent{false, size, at, nullptr, ERROR_SUCCESS};
      offset += length;
    }
  }
  if (size != expectedSize) return HeldContent{false, size, common, nullptr, ERROR_SUCCESS};
  return HeldContent{true, size, size, nullptr, ERROR_SUCCESS};
}
