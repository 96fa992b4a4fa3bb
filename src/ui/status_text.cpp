#include "ui/status_text.h"

#include <climits>
#include <cstring>

#include "resources/resource_ids.h"

namespace {
// Block 1 holds strings 0 to 15.
constexpr WORD kStatusStringBlock = 1;
// Anything this small cannot hold the sixteen length words of a block.
constexpr DWORD kSmallestUsableBlock = 16;
constexpr DWORD kString1LengthOffset = 2;  // string 0 is a single zero length word
constexpr DWORD kString1TextOffset = 4;

enum class BlockResult { kMissing, kTooLong, kFound };

BlockResult ReadString1FromBlock(HMODULE module, LANGID language, wchar_t* buffer,
                                 size_t capacity) {
  HRSRC block = FindResourceExA(module, RT_STRING,
                                MAKEINTRESOURCEA(kStatusStringBlock), language);
  if (!block) return BlockResult::kMissing;
  const DWORD size = SizeofResource(module, block);
  if (size <= kSmallestUsableBlock) return BlockResult::kMissing;
  HGLOBAL loaded = LoadResource(module, block);
  if (!loaded) return BlockResult::kMissing;
  const unsigned char* bytes = static_cast<const unsigned char*>(LockResource(loaded));
  if (!bytes) return BlockResult::kMissing;

  const size_t length =
      bytes[kString1LengthOffset] | (static_cast<size_t>(bytes[kString1LengthOffset + 1]) << 8);
  if (length > kMaxBlockStatusChars || length >= capacity) return BlockResult::kTooLong;
  // A length word that points past the block's end means a broken block.
  if (kString1TextOffset + length * sizeof(wchar_t) > size) return BlockResult::kMissing;
  memcpy(buffer, bytes + kString1TextOffset, length * sizeof(wchar_t));
  buffer[length] = L'\0';
  return BlockResult::kFound;
}
}  // namespace

bool LoadStatusText(HMODULE module, LANGID language, wchar_t* buffer, size_t capacity) {
  if (!buffer || capacity == 0) return false;
  buffer[0] = L'\0';
  switch (ReadString1FromBlock(module, language, buffer, capacity)) {
    case BlockResult::kFound:
      return true;
    case BlockResult::kTooLong:
      return false;
    case BlockResult::kMissing:
      break;
  }
  const int limit = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
  const int copied = LoadStringW(module, IDS_STATUS_TEXT, buffer, limit);
  if (copied <= 0) {
    buffer[0] = L'\0';
    return false;
  }
  return true;
}
