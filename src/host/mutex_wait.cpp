#include "host/mutex_wait.h"

#include <windows.h>

#include "base/pause.h"
#include "base/unique_handle.h"

namespace {
constexpr int kMaxSleeps = 5;
constexpr DWORD kSleepMs = 1000;
}  // namespace

void WaitWhileMutexExists(const char* name, int* probes) {
  for (;;) {
    // A mutex that cannot be opened (gone, or not ours to open) counts as gone.
    if (!UniqueHandle(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name))) return;
    if (++*probes > kMaxSleeps) return;
    PauseMs(kSleepMs);
  }
}
