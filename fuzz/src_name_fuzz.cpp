// Fuzzes the source-name split with arbitrary src values: the name and the
// type land in buffers of exactly their 64 and 5 bytes (so the sanitizers
// catch a write past them), and agree with the split done the slow way:
// after the last backslash, at the last dot that is not the first character.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/src_name.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

constexpr char kMarker = '#';

struct Exact {
  explicit Exact(size_t size) : bytes(static_cast<char*>(malloc(size))), size(size) {
    memset(bytes, kMarker, size);
  }
  ~Exact() { free(bytes); }
  Exact(const Exact&) = delete;
  Exact& operator=(const Exact&) = delete;
  bool Untouched() const { return std::string(bytes, size) == std::string(size, kMarker); }
  // The bytes as the fixed array the split functions take (size is N).
  template <size_t N>
  char (&array())[N] {
    return *reinterpret_cast<char(*)[N]>(bytes);
  }
  char* bytes;
  size_t size;
};

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A src value is a C string: it ends at the first NUL.
  std::string src(reinterpret_cast<const char*>(data), size);
  src = src.substr(0, src.find('\0'));

  const size_t slash = src.rfind('\\');
  const std::string base = slash == std::string::npos ? src : src.substr(slash + 1);
  const size_t dot = base.size() > 1 ? base.rfind('.') : std::string::npos;
  const bool hasDot = dot != std::string::npos && dot > 0;
  const bool nameFits = hasDot && dot < kResourceNameSize;
  const bool typeFits = hasDot && base.size() - dot - 1 < kResourceTypeSize;

  Exact name(kResourceNameSize), type(kResourceTypeSize);
  Check(SplitSrcName(src.c_str(), name.array<kResourceNameSize>()) == nameFits, "name split as expected");
  if (nameFits) {
    Check(std::string(name.bytes) == base.substr(0, dot), "name is the part before the dot");
  } else {
    Check(name.Untouched(), "a refused name writes nothing");
  }
  Check(SplitSrcExt(src.c_str(), type.array<kResourceTypeSize>()) == typeFits, "type split as expected");
  if (typeFits) {
    Check(std::string(type.bytes) == base.substr(dot + 1), "type is the part after the dot");
  } else {
    Check(type.Untouched(), "a refused type writes nothing");
  }

  Exact bothName(kResourceNameSize), bothType(kResourceTypeSize);
  const bool both = SplitResourceSrc(src.c_str(), bothName.array<kResourceNameSize>(),
                                     bothType.array<kResourceTypeSize>());
  Check(both == (nameFits && typeFits), "both splits or neither");
  if (both) {
    Check(std::string(bothName.bytes) == Upper(base.substr(0, dot)), "name upper-cased");
    Check(std::string(bothType.bytes) == Upper(base.substr(dot + 1)), "type upper-cased");
  }

  std::string text = src;
  MakeUpper(&text[0]);
  Check(text == Upper(src), "MakeUpper changes a to z only");
  return 0;
}
