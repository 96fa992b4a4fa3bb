#include "files/path_join.h"

#include "payload/string_ops.h"

bool JoinPath(char* buffer, const char* head, const char* tail) {
  buffer[0] = '\0';
  if (AppendBounded(buffer, head) >= kPathBufferSize || AppendBounded(buffer, tail) >= kPathBufferSize) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}
