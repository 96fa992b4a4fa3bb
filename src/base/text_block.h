#pragma once
#include <cstddef>

// A NUL-terminated 8-bit text together with its capacity in bytes; the
// characters have room for capacity + 1 bytes (the content and its NUL).
struct TextBlock {
  char* chars;
  size_t capacity;
};

// Allocates the characters of a block of the given capacity, holding the
// empty string. False (and an empty block) when memory cannot be had.
bool AllocTextBlock(TextBlock* block, size_t capacity);
void FreeTextBlock(TextBlock* block);

// A block allocated on the heap together with its characters; null when
// memory cannot be had. DeleteTextBlock releases both (null is allowed).
TextBlock* NewTextBlock(size_t capacity);
void DeleteTextBlock(TextBlock* block);

// Copies count bytes of source into the block and terminates them; false,
// writing nothing, when source is null or count exceeds the capacity.
bool CopyToTextBlock(const char* source, size_t count, TextBlock* block);
