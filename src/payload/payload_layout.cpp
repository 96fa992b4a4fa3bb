#include "payload/payload_layout.h"

#include <cstring>

#include "base/string_ops.h"
#include "base/tag_reader.h"

const char* LayoutMessage(LayoutStatus status) {
  switch (status) {
    case kLayoutOk: return "";
    case kLayoutNoPayload: return "Cant find payload tag";
    case kLayoutNoRootkey: return "Cant find rootkey tag";
    case kLayoutNoSubkey: return "Cant find subkey tag";
    case kLayoutNoInstallkey: return "Cant find installkey tag";
    case kLayoutEmptyRootkey: return "rootkey is empty";
    case kLayoutEmptySubkey: return "subkey is empty";
    case kLayoutEmptyInstallkey: return "installkey is empty";
  }
  return "";
}

LayoutStatus ReadPayloadContent(const TextBlock& text, TextBlock* content) {
  content->chars[0] = '\0';
  const int read = GetTagData("payload", text.chars, strlen(text.chars), content->chars,
                              content->capacity);
  return read > 0 ? kLayoutOk : kLayoutNoPayload;
}

bool AllocPayloadSettings(PayloadSettings* settings, size_t capacity) {
  const bool ok = AllocTextBlock(&settings->rootkey, capacity) &&
                  AllocTextBlock(&settings->subkey, capacity) &&
                  AllocTextBlock(&settings->installkey, capacity);
  if (!ok) FreePayloadSettings(settings);
  return ok;
}

void FreePayloadSettings(PayloadSettings* settings) {
  FreeTextBlock(&settings->rootkey);
  FreeTextBlock(&settings->subkey);
  FreeTextBlock(&settings->installkey);
}

LayoutStatus ReadPayloadSettings(const TextBlock& content, PayloadSettings* settings) {
  struct Setting {
    const char* name;
    TextBlock* value;
    LayoutStatus missing;
    LayoutStatus empty;
  };
  const Setting order[] = {
      {"rootkey", &settings->rootkey, kLayoutNoRootkey, kLayoutEmptyRootkey},
      {"subkey", &settings->subkey, kLayoutNoSubkey, kLayoutEmptySubkey},
      {"installkey", &settings->installkey, kLayoutNoInstallkey, kLayoutEmptyInstallkey},
  };
  const size_t length = strlen(content.chars);
  // All three are looked for before any is tested for emptiness.
  for (const Setting& s : order) {
    s.value->chars[0] = '\0';
    if (GetTagData(s.name, content.chars, length, s.value->chars, s.value->capacity) <= 0)
      return s.missing;
  }
  for (const Setting& s : order) TrimWhitespace(s.value->chars);
  for (const Setting& s : order) {
    if (s.value->chars[0] == '\0') return s.empty;
  }
  return kLayoutOk;
}

EventCursor StartEvents(const TextBlock& content) {
  return EventCursor{content.chars, content.chars + strlen(content.chars)};
}

bool NextEvent(EventCursor* cursor, TextBlock* event) {
  event->chars[0] = '\0';
  const int read = GetTagData("event", cursor->position,
                              static_cast<size_t>(cursor->end - cursor->position),
                              event->chars, event->capacity);
  if (read <= 0) return false;
  cursor->position += read;
  return true;
}
