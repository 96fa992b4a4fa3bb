#pragma once
#include <cstddef>

#include "events/event_record.h"

// The event types in the order in which an event's type is compared.
//
// Adding a type:
//   1. its enumerator here, before kEventTypeCount (the comparison order);
//   2. its row in kEventTypes (events/event_types.cpp): name, install-path
//      use, required attributes with their messages, the fields it reads;
//   3. its action: declared in events/actions.h, written in the event file
//      of its family (or a new one, added to layer_events in src/CMakeLists.txt),
//      and its row in kActions (events/event_actions.cpp);
//   4. anything payloadtool's check must say of it beyond the row
//      (tools/payloadtool/payload_check.cpp reads the row itself).
// A missing, extra or misplaced row in either table, a null action, or a
// required attribute the row does not list among its fields fails the build
// (the static assertions beside both tables); FindEventType's test and
// payloadtool's tests then show the name and the check's lines.
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

// How an event type depends on the install path that RUN, RUNAPPS and
// URLRUN read from the registry.
enum class InstallPathUse {
  kNone,
  kReadsFirst,     // reads it before anything else and fails without it
  kReadsAfterRun,  // reads it once its program has run and fails without it
  kNeedsEarlier,   // fails unless an earlier event of the run has read it
};

// An attribute without which an event fails before its action runs, with the
// message it reports (null: it fails without a message).
struct RequiredAttribute {
  EventField field;
  const char* message;
};

constexpr int kMaxRequiredAttributes = 3;

// What the dispatch, the actions and payloadtool's check know of one type.
struct EventTypeRule {
  EventType type;
  const char* name;  // exact, case-sensitive
  InstallPathUse installPath;
  RequiredAttribute required[kMaxRequiredAttributes];  // in the order they are checked
  int requiredCount;
  unsigned usedFields;  // the attributes the type reads, one bit per EventField
  bool srcIsResource;   // src names an embedded resource as NAME.TYPE
};

// Indexed by EventType.
extern const EventTypeRule kEventTypes[kEventTypeCount];

// The index of the first type equal to text (exact, case-sensitive), or -1
// for an empty or unknown type.
int FindEventType(const char* text);

// What every event of a type needs before its action runs, as the table says:
// first an install path read by an earlier event, then its required
// attributes in order; the first that is missing is reported with its
// message, if it has one. False when one is missing.
bool EventPrerequisitesMet(EventType type, const EventRecord& record, const char* installPath);

// Messages that the run reports and payloadtool's check quotes.
constexpr char kInstallPathNotSetMessage[] = "install path is not set before a copy";
constexpr char kMalformedSrcFormat[] = "malformed SRC tag: %s";
constexpr char kCallerCopyMissingDstMessage[] = "CALLERCOPY tag is missing a DST";
