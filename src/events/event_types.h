#pragma once
#include <cstddef>

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
// first an install path read by an earlier event (reports "install path is
// not set before a copy"), then its required attributes in order (reports
// the first missing one's message, if it has one). False when one is missing.
bool EventPrerequisitesMet(EventType type, const EventRecord& record, const char* installPath);

// Messages that the run reports and payloadtool's check quotes.
constexpr char kInstallPathNotSetMessage[] = "install path is not set before a copy";
constexpr char kMalformedSrcFormat[] = "malformed SRC tag: %s";
constexpr char kCallerCopyMissingDstMessage[] = "CALLERCOPY tag is missing a DST";
