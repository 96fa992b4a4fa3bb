#include "base/tag_reader.h"

#include <cstring>

#include "base/report.h"

int ReadTagName(const char** cursor, char* name, size_t limit) {
  if (!cursor || !*cursor) return kTagMalformed;
  const char* tag = *cursor;
  int kind = kTagOpening;
  size_t at = 1;  // skip the '<'
  if (limit > 1 && tag[1] == '/') {
    kind = kTagClosing;
    at = 2;
  }
  size_t length = 0;
  for (;;) {
    if (at >= limit || length >= kTagNameSize - 1) {
      name[length] = '\0';
      *cursor = tag + (at < limit ? at : limit);
      return kTagMalformed;
    }
    // The first character always belongs to the name, even a '>'.
    name[length++] = tag[at++];
    if (at < limit && tag[at] == '>') {
      name[length] = '\0';
      *cursor = tag + at + 1;
      return kind;
    }
  }
}

int FindOpenTag(const char** cursor, size_t length, const char* name) {
  const char* const end = *cursor + length;
  char tag[kTagNameSize];
  while (*cursor < end) {
    if (**cursor != '<') {
      ++*cursor;
      continue;
    }
    const int kind = ReadTagName(cursor, tag, static_cast<size_t>(end - *cursor));
    if (kind == kTagMalformed) return -1;
    if (kind == kTagOpening && strcmp(tag, name) == 0) return 1;
  }
  return 0;
}

namespace {
bool IsDropped(char c) { return c == '\0' || c == '\t' || c == '\n' || c == '\r'; }
}  // namespace

int GetTagData(const char* name, const char* start, size_t length, char* output,
               size_t capacity) {
  if (!start) return -1;
  const char* cursor = start;
  if (FindOpenTag(&cursor, length, name) != 1) return -1;

  // The output is terminated on every way out rather than cleared up front:
  // clearing a payload-sized buffer on every read would make the walk quadratic.
  const char* const end = start + length;
  const size_t room = capacity > 0 ? capacity - 1 : 0;
  size_t used = 0;
  char tag[kTagNameSize];
  while (cursor < end) {
    const char c = *cursor;
    if (c == '<') {
      const int kind = ReadTagName(&cursor, tag, static_cast<size_t>(end - cursor));
      if (kind == kTagMalformed) {
        if (capacity > 0) output[used] = '\0';
        return -1;
      }
      if (kind == kTagClosing && strcmp(tag, name) == 0) {
        if (capacity > 0) output[used] = '\0';
        return static_cast<int>(cursor - start);
      }
      const size_t tagLength = strlen(tag);
      const size_t needed = tagLength + (kind == kTagClosing ? 3 : 2);
      if (needed > room - used) break;
      output[used++] = '<';
      if (kind == kTagClosing) output[used++] = '/';
      memcpy(output + used, tag, tagLength);
      used += tagLength;
      output[used++] = '>';
    } else if (IsDropped(c)) {
      ++cursor;
    } else {
      if (used == room) break;
      output[used++] = c;
      ++cursor;
    }
  }
  PrintText("Failed to get data for tag: <%s>\n", name);
  if (capacity > 0) output[0] = '\0';
  return -1;
}
