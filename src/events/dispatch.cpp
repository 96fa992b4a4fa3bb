#include "events/dispatch.h"

#include "events/actions.h"
#include "base/report.h"
#include "events/event_types.h"

namespace {
// Indexed by EventType: the order in which types are compared.
const EventAction kActions[kEventTypeCount] = {
    RunEvent,          // RUN
    RunAppsEvent,      // RUNAPPS
    RemoveEvent,       // REMOVE
    CallerCopyEvent,   // CALLERCOPY
    TempDeleteEvent,   // TEMPDELETE
    CopyEvent,         // COPY
    UrlHitEvent,       // URLHIT
    SetReferralUrlEvent,  // SETREFERRALURL
    FirstUrlHitEvent,  // FIRSTURLHIT
    UrlVisitEvent,     // URLVISIT
    UrlRunEvent,       // URLRUN
    CreateMutexEvent,  // CREATEMUTEX
    FailOnMutexEvent,  // FAILONMUTEX
};

int Dispatch(const char* rootkey, const char* subkey, const TextBlock& event, HMODULE module,
             const char* installkey, EventRecord* record) {
  ReadEventRecord(event, record);
  const int type = FindEventType(record->Get(kFieldType));
  if (type < 0) return -1;
  EventContext context{*record, rootkey, subkey, installkey, module};
  return kActions[type](context);
}
}  // namespace

int ProcessEvent(const char* rootkey, const char* subkey, const TextBlock& event,
                 HMODULE module, const char* installkey, EventRecord* workspace) {
  if (workspace) return Dispatch(rootkey, subkey, event, module, installkey, workspace);
  EventRecord record;
  if (!AllocEventRecord(&record, event.capacity)) {
    ReportError("ProcessEvent - out of memory for %u bytes", static_cast<unsigned>(event.capacity));
    return -1;
  }
  const int result = Dispatch(rootkey, subkey, event, module, installkey, &record);
  FreeEventRecord(&record);
  return result;
}
