// Fuzzes the command-line tail and the caller command line built from it:
// the tail lies inside the command line and agrees with the rule done the
// slow way; the extension with /CALLER "<path>" never writes past its 2048
// bytes and is refused exactly when it would not fit.
//
// Input: [path length][path][command line], each ending at its first NUL.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/command_line.h"
#include "events/caller_command_line.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

bool AtOrBelowSpace(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The program's name ends at the first blank outside quotes; the blanks after
// it are skipped.
size_t TailOffset(const std::string& line) {
  size_t at = 0;
  bool quoted = false;
  while (at < line.size() && (quoted || !AtOrBelowSpace(line[at]))) {
    if (line[at] == '"') quoted = !quoted;
    ++at;
  }
  while (at < line.size() && AtOrBelowSpace(line[at])) ++at;
  return at;
}

std::string CString(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  return text.substr(0, text.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t pathBytes = data[0] < size - 1 ? data[0] : size - 1;
  const std::string path = CString(data + 1, pathBytes);
  const std::string line = CString(data + 1 + pathBytes, size - 1 - pathBytes);

  // In a buffer of exactly its length and terminator.
  char* exact = static_cast<char*>(malloc(line.size() + 1));
  memcpy(exact, line.c_str(), line.size() + 1);
  const char* tail = CommandLineTail(exact);
  Check(tail >= exact && tail <= exact + line.size(), "tail inside the command line");
  Check(static_cast<size_t>(tail - exact) == TailOffset(line), "tail where the rule puts it");
  Check(*tail == '\0' || !AtOrBelowSpace(*tail), "tail starts with no blank");

  // The extension of that tail, in 2048 bytes followed by a guard.
  constexpr size_t kGuard = 64;
  char* buffer = static_cast<char*>(malloc(kCallerCommandLineSize + kGuard));
  memset(buffer, '#', kCallerCommandLineSize + kGuard);
  const std::string expected =
      std::string(tail) + (*tail ? " " : "") + "/CALLER \"" + path + "\"";
  const bool composed = ComposeCallerCommandLine(tail, path.c_str(), *reinterpret_cast<CallerCommandLine*>(buffer));
  Check(composed == (expected.size() < kCallerCommandLineSize), "refused exactly when too long");
  if (composed) Check(expected == buffer, "extension as expected");
  for (size_t i = kCallerCommandLineSize; i < kCallerCommandLineSize + kGuard; ++i)
    Check(buffer[i] == '#', "nothing written past 2048 bytes");
  free(buffer);
  free(exact);
  return 0;
}
