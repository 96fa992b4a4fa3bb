#include "events/dispatch.h"

#include "base/report.h"
#include "events/actions.h"
#include "events/event_types.h"
#include "state/process_state.h"

namespace {
int Dispatch(const char* rootkey, const char* subkey, const TextBlock& event, ModuleHandle module,
             const char* installkey, EventRecord* record) {
  ReadEventRecord(event, record);
  const int found = FindEventType(record->Get(kFieldType));
  if (found < 0) return -1;
  const EventType type = static_cast<EventType>(found);
  if (!EventPrerequisitesMet(type, *record, gInstallPath)) return -1;
  EventContext context{*record, rootkey, subkey, installkey, module};
  return EventActionFor(type)(context);
}
}  // namespace

int ProcessEvent(const char* rootkey, const char* subkey, const TextBlock& event,
                 ModuleHandle module, const char* installkey, EventRecord* workspace) {
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
