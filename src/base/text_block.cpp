#include "base/text_block.h"

#include <cstdlib>
#include <cstring>

bool AllocTextBlock(TextBlock* block, size_t capacity) {
  block->capacity = 0;
  block->chars = nullptr;
  if (capacity + 1 == 0) return false;
  char* chars = static_cast<char*>(malloc(capacity + 1));
  if (!chars) return false;
  chars[0] = '\0';
  block->chars = chars;
  block->capacity = capacity;
  return true;
}

void FreeTextBlock(TextBlock* block) {
  free(block->chars);
  block->chars = nullptr;
  block->capacity = 0;
}

TextBlock* NewTextBlock(size_t capacity) {
  TextBlock* block = static_cast<TextBlock*>(malloc(sizeof(TextBlock)));
  if (!block) return nullptr;
  if (!AllocTextBlock(block, capacity)) {
    free(block);
    return nullptr;
  }
  return block;
}

void DeleteTextBlock(TextBlock* block) {
  if (!block) return;
  FreeTextBlock(block);
  free(block);
}

bool CopyToTextBlock(const char* source, size_t count, TextBlock* block) {
  if (!source || !block || !block->chars || count > block->capacity) return false;
  memcpy(block->chars, source, count);
  block->chars[count] = '\0';
  return true;
}
