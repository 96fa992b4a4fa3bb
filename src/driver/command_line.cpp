#include "driver/command_line.h"

namespace {
bool IsAtOrBelowSpace(char c) { return static_cast<unsigned char>(c) <= ' '; }
}  // namespace

const char* CommandLineTail(const char* commandLine) {
  if (!commandLine) return "";
  const char* p = commandLine;
  bool quoted = false;
  while (*p != '\0' && (quoted || !IsAtOrBelowSpace(*p))) {
    if (*p == '"') quoted = !quoted;
    ++p;
  }
  while (*p != '\0' && IsAtOrBelowSpace(*p)) ++p;
  return p;
}
