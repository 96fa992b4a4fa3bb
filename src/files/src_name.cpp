#include "files/src_name.h"

#include <cstring>

namespace {

// Finds the file-name part of src and the dot that splits it; false when the
// part has no dot after its first character.
bool FindSplit(const char* src, const char** base, size_t* dot, size_t* length) {
  if (!src) return false;
  const char* slash = strrchr(src, '\\');
  *base = slash ? slash + 1 : src;
  *length = strlen(*base);
  for (size_t i = *length; i-- > 1;) {
    if ((*base)[i] == '.') {
      *dot = i;
      return true;
    }
  }
  return false;
}

}  // namespace

bool SplitSrcName(const char* src, char (&name)[kResourceNameSize]) {
  const char* base;
  size_t dot, length;
  if (!FindSplit(src, &base, &dot, &length) || dot >= kResourceNameSize) return false;
  memcpy(name, base, dot);
  name[dot] = '\0';
  return true;
}

bool SplitSrcExt(const char* src, char (&type)[kResourceTypeSize]) {
  const char* base;
  size_t dot, length;
  if (!FindSplit(src, &base, &dot, &length)) return false;
  const size_t typeLength = length - dot - 1;
  if (typeLength >= kResourceTypeSize) return false;
  memcpy(type, base + dot + 1, typeLength + 1);
  return true;
}

bool SplitResourceSrc(const char* src, char (&name)[kResourceNameSize], char (&type)[kResourceTypeSize]) {
  if (!SplitSrcName(src, name) || !SplitSrcExt(src, type)) return false;
  MakeUpper(name);
  MakeUpper(type);
  return true;
}

void MakeUpper(char* text) {
  if (!text) return;
  for (; *text; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
  }
}
