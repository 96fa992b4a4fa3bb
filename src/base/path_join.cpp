#include "base/path_join.h"

#include "base/string_ops.h"

bool JoinPath(PathBuffer& buffer, const char* head, const char* tail) {
  buffer[0] = '\0';
  if (AppendBounded(buffer, head) >= kPathBufferSize || AppendBounded(buffer, tail) >= kPathBufferSize) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}
