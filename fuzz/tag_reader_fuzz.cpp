// Fuzzes the markup reader and the payload layout with arbitrary bytes.
//
// Input: one mode byte, then
//   modes 0-2: [name length][capacity low][capacity high][name][region]
//              0 ReadTagName at every '<', 1 FindOpenTag, 2 GetTagData
//   mode 3:    the payload text: payload content, settings, every event record,
//              then the walk itself, dispatching to stand-in actions.
// Regions are passed with explicit lengths and no terminator, in buffers of
// exactly their size, so that the sanitizers catch any access beyond them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/tag_reader.h"
#include "events/event_record.h"
#include "events/event_types.h"
#include "payload/payload_layout.h"
#include "payload/payload_walk.h"
#include "standin_actions.h"
#include "state/process_state.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

constexpr unsigned char kMarker = 0xBE;

// Exactly size bytes on the heap.
struct Exact {
  explicit Exact(size_t size) : bytes(static_cast<char*>(malloc(size ? size : 1))), size(size) {}
  ~Exact() { free(bytes); }
  Exact(const Exact&) = delete;
  Exact& operator=(const Exact&) = delete;
  char* bytes;
  size_t size;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsTrimmed(const char* text) {
  const size_t length = strlen(text);
  return length == 0 || (!IsBlank(text[0]) && !IsBlank(text[length - 1]));
}

// ReadTagName at each '<' (the first 64 of them: a name is read up to 259
// characters ahead, so more would only read the same bytes again).
void ReadEveryTag(const char* region, size_t size) {
  int tags = 0;
  for (size_t at = 0; at < size && tags < 64; ++at) {
    if (region[at] != '<') continue;
    ++tags;
    const char* cursor = region + at;
    char name[kTagNameSize];
    memset(name, kMarker, sizeof name);
    const int kind = ReadTagName(&cursor, name, size - at);
    Check(kind == kTagMalformed || kind == kTagOpening || kind == kTagClosing, "tag kind");
    Check(memchr(name, '\0', sizeof name) != nullptr, "tag name terminated");
    Check(cursor >= region + at && cursor <= region + size, "cursor inside the region");
    if (kind == kTagMalformed) continue;
    const size_t consumed = static_cast<size_t>(cursor - (region + at));
    Check(cursor[-1] == '>', "cursor just past '>'");
    Check(consumed >= (kind == kTagClosing ? 4u : 3u) && consumed <= kTagNameSize - 1 + 3,
          "tag length");
  }
}

void FindTag(const char* region, size_t size, const char* name, bool nulFree) {
  const char* cursor = region;
  const int found = FindOpenTag(&cursor, size, name);
  Check(found == -1 || found == 0 || found == 1, "FindOpenTag result");
  Check(cursor >= region && cursor <= region + size, "cursor inside the region");
  if (found == 0) Check(cursor == region + size, "not found: the whole region was read");
  if (found == 1 && nulFree) {
    const size_t length = strlen(name);
    const size_t consumed = static_cast<size_t>(cursor - region);
    Check(consumed >= length + 2, "found tag fits");
    Check(cursor[-1] == '>' && cursor[-2 - static_cast<long>(length)] == '<' &&
              memcmp(cursor - 1 - length, name, length) == 0,
          "found tag is <name>");
  }
}

// Reads name from region into an output of exactly capacity bytes.
int ReadData(const char* name, const char* region, size_t size, size_t capacity,
             std::string* content) {
  Exact output(capacity);
  memset(output.bytes, kMarker, capacity);
  const int result = GetTagData(name, region, size, output.bytes, capacity);
  Check(result == -1 || (result > 0 && static_cast<size_t>(result) <= size), "offset in range");
  const bool terminated = capacity > 0 && memchr(output.bytes, '\0', capacity) != nullptr;
  const bool untouched = std::string(output.bytes, capacity) == std::string(capacity, kMarker);
  if (result > 0) {
    Check(region[result - 1] == '>', "offset just past a '>'");
    Check(capacity == 0 || terminated, "content terminated within capacity");
  } else {
    Check(capacity == 0 || terminated || untouched,
          "failure leaves output terminated or as it was");
  }
  content->assign(terminated ? output.bytes : "");
  return result;
}

void ReadTagData(const char* region, size_t size, const char* name, size_t capacity, bool nulFree) {
  const char* cursor = region;
  const bool found = FindOpenTag(&cursor, size, name) == 1;
  // With room for anything, then with the chosen capacity: the content must
  // be the same when it fits in capacity - 1 characters, a failure otherwise.
  std::string roomy, bounded;
  const int full = ReadData(name, region, size, size + 1, &roomy);
  const int cut = ReadData(name, region, size, capacity, &bounded);
  if (!found) Check(full == -1 && cut == -1, "no element, no content");
  if (full > 0 && nulFree) {
    const size_t length = strlen(name);
    Check(static_cast<size_t>(full) >= length + 3 &&
              memcmp(region + full - length - 3, "</", 2) == 0 &&
              memcmp(region + full - 1 - length, name, length) == 0,
          "element ends with </name>");
  }
  if (full > 0 && (roomy.empty() || roomy.size() < capacity)) {
    Check(cut == full && bounded == roomy, "content that fits is read whole");
  } else if (full > 0) {
    Check(cut == -1 && bounded.empty(), "content that does not fit fails");
  } else {
    Check(cut == -1, "capacity cannot make a failing read succeed");
  }
}

// The payload's layout, then the walk as the program runs it, every action a
// stand-in that succeeds: the events that need an earlier install path find
// one. The events are read once, by the walk; their records are checked as
// the stand-ins received them.
void WalkLayout(const uint8_t* data, size_t size) {
  Exact text(size + 1);
  memcpy(text.bytes, data, size);
  text.bytes[size] = '\0';
  const TextBlock block{text.bytes, size};

  TextBlock content;
  if (!AllocTextBlock(&content, size)) return;
  const LayoutStatus payload = ReadPayloadContent(block, &content);
  Check(payload == kLayoutOk || payload == kLayoutNoPayload, "payload status");
  Check(strlen(content.chars) <= content.capacity, "payload content fits");
  if (payload == kLayoutOk) {
    PayloadSettings settings = {};
    if (AllocPayloadSettings(&settings, content.capacity)) {
      const LayoutStatus status = ReadPayloadSettings(content, &settings);
      Check(status >= kLayoutOk && status <= kLayoutEmptyInstallkey, "settings status");
      if (status == kLayoutOk) {
        for (const TextBlock* value : {&settings.rootkey, &settings.subkey, &settings.installkey}) {
          Check(value->chars[0] != '\0' && IsTrimmed(value->chars), "settings trimmed, not empty");
        }
      }
    }
    FreePayloadSettings(&settings);
  }
  FreeTextBlock(&content);

  StandInActions actions;
  gInstallPath[0] = 'C';
  gInstallPath[1] = '\0';
  const int walked = ProcessXML2(&block, nullptr);
  Check(walked == 0 || walked == -1, "walk result");
  Check(walked == -1 || payload == kLayoutOk, "a walk without a payload fails");
  Check(actions.calls().size() <= size, "walk ends");
  for (const ActionCall& call : actions.calls()) {
    Check(call.fields.size() == kEventFieldCount &&
              call.fields[kFieldType] == kEventTypes[call.type].name,
          "each event reaches the action of its own type");
    for (int i = 0; i < kEventFieldCount; ++i) {
      Check(call.fields[i].size() <= size, "field fits");
      if (i != kFieldSelfCmdline) Check(IsTrimmed(call.fields[i].c_str()), "field trimmed");
    }
  }
  ResetProcessState();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The reader's failure line goes to standard output; keep the fuzzer's own
  // output readable and fast.
  if (!freopen("/dev/null", "w", stdout)) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int mode = data[0] % 4;
  if (mode == 3) {
    WalkLayout(data + 1, size - 1);
    return 0;
  }
  if (size < 4) return 0;
  const size_t nameLength = data[1] % 32;
  size_t capacity = data[2] | (data[3] << 8);
  size_t at = 4;
  const size_t nameBytes = nameLength < size - at ? nameLength : size - at;
  // A name is a C string: it ends at the first NUL, and is never empty here.
  std::string name(reinterpret_cast<const char*>(data + at), nameBytes);
  name = name.substr(0, name.find('\0'));
  if (name.empty()) name = "a";
  at += nameBytes;

  // The region in a buffer of exactly its size; a second copy without NULs
  // for the checks that compare names byte for byte.
  const size_t regionSize = size - at;
  Exact region(regionSize);
  memcpy(region.bytes, data + at, regionSize);
  const bool nulFree = memchr(region.bytes, '\0', regionSize) == nullptr;
  if (capacity > regionSize + 8) capacity %= regionSize + 9;

  switch (mode) {
    case 0:
      ReadEveryTag(region.bytes, regionSize);
      break;
    case 1:
      FindTag(region.bytes, regionSize, name.c_str(), nulFree);
      break;
    case 2:
      ReadTagData(region.bytes, regionSize, name.c_str(), capacity, nulFree);
      break;
  }
  return 0;
}
