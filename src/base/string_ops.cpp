#include "base/string_ops.h"

#include <cstring>

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

void TrimWhitespace(char* text) {
  if (!text) return;
  size_t length = strlen(text);
  while (length > 0 && IsBlank(text[length - 1])) text[--length] = '\0';
  size_t lead = 0;
  while (lead < length && IsBlank(text[lead])) ++lead;
  if (lead > 0) memmove(text, text + lead, length - lead + 1);
}

size_t AppendBounded(PathBuffer& buffer, const char* suffix) {
  const size_t suffixLength = strlen(suffix);
  const void* nul = memchr(buffer, '\0', kPathBufferSize);
  if (!nul) return kPathBufferSize + suffixLength;
  const size_t length = static_cast<const char*>(nul) - buffer;
  const size_t room = kPathBufferSize - 1 - length;
  const size_t copied = suffixLength < room ? suffixLength : room;
  memcpy(buffer + length, suffix, copied);
  buffer[length + copied] = '\0';
  return length + suffixLength;
}

bool JoinPath(PathBuffer& buffer, const char* head, const char* tail) {
  buffer[0] = '\0';
  if (AppendBounded(buffer, head) >= kPathBufferSize || AppendBounded(buffer, tail) >= kPathBufferSize) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

bool IsRootedPath(const char* path) {
  const char first = path[0];
  if (((first | 0x20) >= 'a' && (first | 0x20) <= 'z') && path[1] == ':' && path[2] == '\\')
    return true;
  return first == '\\' && path[1] == '\\' && path[2] != '\0' && path[2] != '\\' &&
         path[2] != '.' && path[2] != '?';
}
