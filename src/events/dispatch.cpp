#include "events/dispatch.h"

#include "base/report.h"
#include "base/run_log.h"
#include "events/actions.h"
#include "events/event_types.h"
#include "state/process_state.h"

namespace {
// Events of this process so far: their numbers in the run log.
unsigned gEventNumber = 0;

int DispatchType(const char* rootkey, const char* subkey, ModuleHandle module,
                 const char* installkey, EventRecord* record) {
  const int found = FindEventType(record->Get(kFieldType));
  if (found < 0) return -1;
  const EventType type = static_cast<EventType>(found);
  if (!EventPrerequisitesMet(type, *record, gInstallPath)) return -1;
  EventContext context{*record, rootkey, subkey, installkey, module};
  return EventActionFor(type)(context);
}

int Dispatch(const char* rootkey, const char* subkey, const TextBlock& event, ModuleHandle module,
             const char* installkey, EventRecord* record) {
  ReadEventRecord(event, record);
  const unsigned number = ++gEventNumber;
  const char* type = record->Get(kFieldType);
  LogLine("event %u %s starts", number, type);
  const unsigned long started = RunLogMs();
  const int result = DispatchType(rootkey, subkey, module, installkey, record);
  LogLine("event %u %s %s after %lu ms", number, type, result == 0 ? "done" : "failed",
          RunLogMs() - started);
  return result;
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
