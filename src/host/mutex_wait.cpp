#include "host/mutex_wait.h"

#include <windows.h>

#include "base/pause.h"
#include "base/unique_handle.h"

namespace {
constexpr int kMaxSleeps = 5;
constexpr DWORD kSleepMs = 1000;

// Successful opens since the budget was reset, across all names.
int gMutexWaitCount = 0;
}  // namespace

void ResetMutexWaitBudget() { gMutexWaitCount = 0; }

int MutexWaitProbes() { return gMutexWaitCount; }

void WaitWhileMutexExists(const char* name) {
  for (;;) {
    // A mutex that cannot be opened (gone, or not ours to open) counts as gone.
    if (!UniqueHandle(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name))) return;
    if (++gMutexWaitCount > kMaxSleeps) return;
    PauseMs(kSleepMs);
  }
}
