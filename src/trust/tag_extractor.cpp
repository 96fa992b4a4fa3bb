#include "trust/tag_extractor.h"

#include "trust/tag_block.h"

TagExtractor::~TagExtractor() { Close(); }

bool TagExtractor::Open(const char* path) {
  Close();
  file_ = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return false;
  // The parser is told the size that was mapped; a file too large for the
  // address space cannot be mapped whole and is refused here.
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file_, &size) || static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
    Close();
    return false;
  }
  mapping_ = CreateFileMappingA(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping_) {
    Close();
    return false;
  }
  view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
  if (!view_) {
    Close();
    return false;
  }
  viewSize_ = static_cast<size_t>(size.QuadPart);
  return true;
}

bool TagExtractor::ExtractTag(char* buffer, int32_t* size) {
  if (!size || file_ == INVALID_HANDLE_VALUE || !view_) return false;
  return ExtractTagFromBytes(static_cast<const unsigned char*>(view_), viewSize_, buffer, size);
}

void TagExtractor::Close() {
  if (view_) UnmapViewOfFile(view_);
  view_ = nullptr;
  viewSize_ = 0;
  if (mapping_) CloseHandle(mapping_);
  mapping_ = nullptr;
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}
