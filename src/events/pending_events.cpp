// Event types whose actions are not built yet: they fail the event.
#include "driver/report.h"
#include "events/actions.h"

namespace {
int NotBuiltYet(EventContext& event) {
  ReportError("%s events are not built yet", event.record.Get(kFieldType));
  return -1;
}
}  // namespace

int RunEvent(EventContext& event) { return NotBuiltYet(event); }
int RunAppsEvent(EventContext& event) { return NotBuiltYet(event); }
int RemoveEvent(EventContext& event) { return NotBuiltYet(event); }
int CallerCopyEvent(EventContext& event) { return NotBuiltYet(event); }
int TempDeleteEvent(EventContext& event) { return NotBuiltYet(event); }
int CopyEvent(EventContext& event) { return NotBuiltYet(event); }
int UrlHitEvent(EventContext& event) { return NotBuiltYet(event); }
int SetReferralUrlEvent(EventContext& event) { return NotBuiltYet(event); }
int FirstUrlHitEvent(EventContext& event) { return NotBuiltYet(event); }
int UrlVisitEvent(EventContext& event) { return NotBuiltYet(event); }
int UrlRunEvent(EventContext& event) { return NotBuiltYet(event); }
