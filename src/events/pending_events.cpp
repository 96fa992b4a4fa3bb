// Event types whose actions are not built yet: they fail the event.
#include "base/report.h"
#include "events/actions.h"

namespace {
int NotBuiltYet(EventContext& event) {
  ReportError("%s events are not built yet", event.record.Get(kFieldType));
  return -1;
}
}  // namespace

int UrlHitEvent(EventContext& event) { return NotBuiltYet(event); }
int SetReferralUrlEvent(EventContext& event) { return NotBuiltYet(event); }
int FirstUrlHitEvent(EventContext& event) { return NotBuiltYet(event); }
int UrlVisitEvent(EventContext& event) { return NotBuiltYet(event); }
int UrlRunEvent(EventContext& event) { return NotBuiltYet(event); }
