// The action of each event type: the column of the table of event types
// (kEventTypes) that only the Windows program has.
#include <iterator>

#include "events/actions.h"

namespace {

struct ActionRow {
  EventType type;
  EventAction action;
};

constexpr ActionRow kActions[] = {
    {kEventRun, RunEvent},
    {kEventRunApps, RunAppsEvent},
    {kEventRemove, RemoveEvent},
    {kEventCallerCopy, CallerCopyEvent},
    {kEventTempDelete, TempDeleteEvent},
    {kEventCopy, CopyEvent},
    {kEventUrlHit, UrlHitEvent},
    {kEventSetReferralUrl, SetReferralUrlEvent},
    {kEventFirstUrlHit, FirstUrlHitEvent},
    {kEventUrlVisit, UrlVisitEvent},
    {kEventUrlRun, UrlRunEvent},
    {kEventCreateMutex, CreateMutexEvent},
    {kEventFailOnMutex, FailOnMutexEvent},
};

// A forgotten row, a swapped one or a null action fails the build.
constexpr bool OneActionPerTypeInOrder() {
  if (std::size(kActions) != static_cast<size_t>(kEventTypeCount)) return false;
  for (size_t i = 0; i < std::size(kActions); ++i) {
    if (kActions[i].type != static_cast<EventType>(i) || kActions[i].action == nullptr)
      return false;
  }
  return true;
}
static_assert(OneActionPerTypeInOrder(), "one action per event type, in EventType order");

}  // namespace

EventAction EventActionFor(EventType type) { return kActions[type].action; }
