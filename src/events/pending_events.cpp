// Event types whose actions are not built yet: past the checks of their row
// in the table of event types, they fail the event.
#include "base/report.h"
#include "events/actions.h"

namespace {
// Each names its own type, so that an action bound to the wrong row shows.
int NotBuiltYet(EventType type) {
  ReportError("%s events are not built yet", kEventTypes[type].name);
  return -1;
}
}  // namespace

int UrlHitEvent(EventContext&) { return NotBuiltYet(kEventUrlHit); }
int SetReferralUrlEvent(EventContext&) { return NotBuiltYet(kEventSetReferralUrl); }
int FirstUrlHitEvent(EventContext&) { return NotBuiltYet(kEventFirstUrlHit); }
int UrlVisitEvent(EventContext&) { return NotBuiltYet(kEventUrlVisit); }
