#include "payload/payload_resource.h"

#include <cstring>

TextBlock* ExtractFileIntoXMLTAG(HRSRC resource, HMODULE module) {
  const DWORD size = SizeofResource(module, resource);
  if (size == 0) return nullptr;
  HGLOBAL loaded = LoadResource(module, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return nullptr;
  TextBlock* block = NewTextBlock(size);
  if (!block) return nullptr;
  memcpy(block->chars, data, size);
  block->chars[size] = '\0';
  return block;
}
