#include "events/event_record.h"

#include <cstring>

#include "base/string_ops.h"
#include "base/tag_reader.h"

const char* const kEventFieldNames[kEventFieldCount] = {
    "type",   "src",    "dst",      "cmdline",        "title",
    "status", "hidden", "elevated", "lumenoshutdown", "selfcmdline",
};

bool EventRecord::Flag(EventField field) const { return strcmp(Get(field), "1") == 0; }

bool AllocEventRecord(EventRecord* record, size_t capacity) {
  for (TextBlock& field : record->fields) field = TextBlock{nullptr, 0};
  for (TextBlock& field : record->fields) {
    if (!AllocTextBlock(&field, capacity)) {
      FreeEventRecord(record);
      return false;
    }
  }
  return true;
}

void FreeEventRecord(EventRecord* record) {
  for (TextBlock& field : record->fields) FreeTextBlock(&field);
}

void ReadEventRecord(const TextBlock& event, EventRecord* record) {
  const size_t length = strlen(event.chars);
  for (int i = 0; i < kEventFieldCount; ++i) {
    TextBlock& field = record->fields[i];
    field.chars[0] = '\0';
    GetTagData(kEventFieldNames[i], event.chars, length, field.chars, field.capacity);
  }
  // selfcmdline is compared as it stands, surrounding spaces and all.
  for (int i = 0; i < kFieldSelfCmdline; ++i) TrimWhitespace(record->fields[i].chars);
}
