#pragma once
#include <windows.h>

#include <cstdint>

#include "base/unique_handle.h"

// Reads the installer tag (trust/tag_block.h: the block after the signature
// blob, or else the certificate inside the signature) of a program file: maps
// the whole file read-only and hands the view, with the file's size, to the
// bounded parser, so that nothing outside the file is ever read. Owns the
// file, its mapping and the view from a successful Open until Close or
// destruction. Used by one thread at a time.
class TagExtractor {
 public:
  TagExtractor() = default;
  virtual ~TagExtractor();
  TagExtractor(const TagExtractor&) = delete;
  TagExtractor& operator=(const TagExtractor&) = delete;

  // Closes whatever was open, then opens path for reading (others may read
  // it too) and maps all of it. False, and closed, when any step fails.
  bool Open(const char* path);

  // With a null buffer, stores the capacity the data needs (its length + 1)
  // in *size. With a buffer, *size is its capacity: the data is copied and
  // terminated, *size unchanged. False when closed, for a null size, when the
  // file carries no block, and when the data and its NUL do not fit.
  bool ExtractTag(char* buffer, int32_t* size);

  // Releases the view, the mapping and the file, each only if present.
  void Close();

 private:
  UniqueHandle file_;
  UniqueHandle mapping_;
  const void* view_ = nullptr;
  size_t viewSize_ = 0;  // the file's size when it was mapped
};
