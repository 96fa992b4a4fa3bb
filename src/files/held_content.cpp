#include "files/held_content.h"

#include <cstring>

#include "base/unique_handle.h"

namespace {

HeldContent& Unreadable(HeldContent& content, const char* call) {
  content.failedCall = call;
  content.error = GetLastError();
  return content;
}

}  // namespace

HeldContent CompareHeldFile(HANDLE held, const void* expected, DWORD expectedSize) {
  HeldContent content = {};
  LARGE_INTEGER fileSize;
  if (!GetFileSizeEx(held, &fileSize)) return Unreadable(content, "GetFileSizeEx");
  content.size = static_cast<unsigned long long>(fileSize.QuadPart);
  const DWORD common = content.size < expectedSize ? static_cast<DWORD>(content.size) : expectedSize;

  // A file of no bytes cannot be mapped, and has nothing to compare.
  UniqueHandle mapping;
  if (common > 0) {
    mapping.reset(CreateFileMappingA(held, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return Unreadable(content, "CreateFileMapping");
  }
  const unsigned char* want = static_cast<const unsigned char*>(expected);
  DWORD offset = 0;
  while (offset < common) {
    const DWORD length = common - offset < kHeldViewBytes ? common - offset : kHeldViewBytes;
    const void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, offset, length);
    if (!view) return Unreadable(content, "MapViewOfFile");
    const unsigned char* have = static_cast<const unsigned char*>(view);
    DWORD equal = length;
    if (memcmp(have, want + offset, length) != 0) {
      equal = 0;
      while (have[equal] == want[offset + equal]) ++equal;
    }
    UnmapViewOfFile(view);
    offset += equal;
    if (equal < length) break;
  }
  content.firstDifference = offset;
  content.same = offset == expectedSize && content.size == expectedSize;
  return content;
}
