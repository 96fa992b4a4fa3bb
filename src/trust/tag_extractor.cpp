#include "trust/tag_extractor.h"

#include "trust/tag_block.h"

TagExtractor::~TagExtractor() { Close(); }

bool TagExtractor::Open(const char* path) {
  Close();
  file_.reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) return false;
  // The parser is told the size that was mapped; a file too large for the
  // address space cannot be mapped whole and is refused here.
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file_.get(), &size) || static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
    Close();
    return false;
  }
  mapping_.reset(CreateFileMappingA(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping_) {
    Close();
    return false;
  }
  view_ = MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0);
  if (!view_) {
    Close();
    return false;
  }
  viewSize_ = static_cast<size_t>(size.QuadPart);
  return true;
}

bool TagExtractor::ExtractTag(char* buffer, int32_t* size) {
  if (!size || !file_ || !view_) return false;
  return ExtractTagFromBytes(static_cast<const unsigned char*>(view_), viewSize_, buffer, size);
}

void TagExtractor::Close() {
  if (view_) UnmapViewOfFile(view_);
  view_ = nullptr;
  viewSize_ = 0;
  mapping_.Close();
  file_.Close();
}
