#pragma once
#include "events/event_record.h"

// The event types in the order in which an event's type is compared.
enum EventType {
  kEventRun,
  kEventRunApps,
  kEventRemove,
  kEventCallerCopy,
  kEventTempDelete,
  kEventCopy,
  kEventUrlHit,
  kEventSetReferralUrl,
  kEventFirstUrlHit,
  kEventUrlVisit,
  kEventUrlRun,
  kEventCreateMutex,
  kEventFailOnMutex,
  kEventTypeCount
};

extern const char* const kEventTypeNames[kEventTypeCount];

// The index of the first type equal to text (exact, case-sensitive), or -1
// for an empty or unknown type.
int FindEventType(const char* text);

// An attribute without which an event fails before doing anything, with the
// message it reports (null: it fails without a message).
struct RequiredAttribute {
  EventField field;
  const char* message;
};

// The attributes an event type requires, in the order they are checked;
// ends with an entry whose field is kEventFieldCount.
const RequiredAttribute* RequiredAttributes(EventType type);

// Whether the type's src names an embedded resource as NAME.TYPE.
bool SrcIsResource(EventType type);
