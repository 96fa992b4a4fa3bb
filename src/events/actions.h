#pragma once
#include <windows.h>

#include "events/event_record.h"

// What an event action works on: its record, the payload's three settings and
// the program's own module.
struct EventContext {
  EventRecord& record;  // CALLERCOPY may replace its src
  const char* rootkey;
  const char* subkey;
  const char* installkey;
  HMODULE module;
};

// Each action returns 0 when it completed (or had nothing to do) and -1 when
// the event failed; it reports its own failures.
using EventAction = int (*)(EventContext& event);

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
