#pragma once
#include "base/text_block.h"

// The ten attribute elements of one event, in the order they are read.
enum EventField {
  kFieldType,
  kFieldSrc,
  kFieldDst,
  kFieldCmdline,
  kFieldTitle,
  kFieldStatus,
  kFieldHidden,
  kFieldElevated,
  kFieldLumenoShutdown,
  kFieldSelfCmdline,
  kEventFieldCount
};

// Element names: "type", "src", ... "selfcmdline".
extern const char* const kEventFieldNames[kEventFieldCount];

// One buffer per attribute, each with the capacity of the event text it is
// read from, so no read can fail for lack of room.
struct EventRecord {
  TextBlock fields[kEventFieldCount];

  const char* Get(EventField field) const { return fields[field].chars; }
  bool Empty(EventField field) const { return fields[field].chars[0] == '\0'; }
  // A flag is on only when its value is exactly "1".
  bool Flag(EventField field) const;
};

bool AllocEventRecord(EventRecord* record, size_t capacity);
void FreeEventRecord(EventRecord* record);

// Reads the ten attributes from the event content (the first element of each
// name counts, a missing one stays empty) and trims all but selfcmdline.
void ReadEventRecord(const TextBlock& event, EventRecord* record);
