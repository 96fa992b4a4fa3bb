#include "base/out_of_memory.h"

#include <windows.h>

void RaiseOutOfMemory() {
  RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  // Not reached (a non-continuable exception cannot be resumed); the platform
  // declaration does not say so.
  ExitProcess(STATUS_NO_MEMORY);
}
