// CREATEMUTEX and FAILONMUTEX: named mutexes as markers between runs.
#include "base/report.h"
#include "base/run_log.h"
#include "events/actions.h"
#include "events/status_number.h"
#include "state/process_state.h"

// Creates the mutex named by title and keeps it until the process ends; a
// mutex that existed already counts as success. Fails only when the platform
// returns no handle.
int CreateMutexEvent(EventContext& event) {
  const EventRecord& record = event.record;
  if (!CreateMutexA(nullptr, FALSE, record.Get(kFieldTitle))) {
    ReportError("CreateMutex() failed, GetLastError()=%d", static_cast<int>(GetLastError()));
    return -1;
  }
  LogLine("CREATEMUTEX %s: %s", record.Get(kFieldTitle),
          GetLastError() == ERROR_ALREADY_EXISTS ? "it existed already" : "created");
  return 0;
}

// Stops the walk when a mutex named by title exists (can be opened with full
// access); the run then exits with status as its code. Title and status are
// required even when no such mutex exists.
int FailOnMutexEvent(EventContext& event) {
  const EventRecord& record = event.record;
  // The handle is not closed: the run ends right after.
  const bool found = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, record.Get(kFieldTitle)) != nullptr;
  LogLine("FAILONMUTEX %s: %s", record.Get(kFieldTitle), found ? "it exists" : "not found");
  if (!found) return 0;
  gLastError = ParseStatusNumber(record.Get(kFieldStatus));
  gExitCodeFromEvent = true;
  ReportError("Failing because mutex named %s exists (gLastError=%d)", record.Get(kFieldTitle),
              gLastError);
  return -1;
}
