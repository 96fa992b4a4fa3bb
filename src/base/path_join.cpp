#include "base/path_join.h"

#include "base/string_ops.h"

bool JoinPath(char* buffer, const char* head, const char* tail) {
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
