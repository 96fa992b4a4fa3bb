#pragma once
#include "base/module_handle.h"
#include "events/event_record.h"
#include "events/event_types.h"

// What an event action works on: its record, the payload's three settings and
// the program's own module.
struct EventContext {
  EventRecord& record;  // CALLERCOPY may replace its src
  const char* rootkey;
  const char* subkey;
  const char* installkey;
  ModuleHandle module;
};

// Each action returns 0 when it completed (or had nothing to do) and -1 when
// the event failed; it reports its own failures. The dispatch has already
// checked what the type's row in kEventTypes requires.
using EventAction = int (*)(EventContext& event);

// The action of each type (events/event_actions.cpp; the walk's tests bind
// stand-ins of their own).
EventAction EventActionFor(EventType type);

int RunEvent(EventContext& event);
int RunAppsEvent(EventContext& event);
int RemoveEvent(EventContext& event);
int CallerCopyEvent(EventContext& event);
int TempDeleteEvent(EventContext& event);
int CopyEvent(EventContext& event);
int UrlHitEvent(EventContext& event);
int SetReferralUrlEvent(EventContext& event);
int FirstUrlHitEvent(EventContext& event);
int UrlVisitEvent(EventContext& event);
int UrlRunEvent(EventContext& event);
int CreateMutexEvent(EventContext& event);
int FailOnMutexEvent(EventContext& event);
