#include "base/pause.h"

#include <windows.h>

namespace {
int gPauses = 0;
}  // namespace

void PauseMs(unsigned long milliseconds) {
  ++gPauses;
  Sleep(milliseconds);
}

int PausesTaken() { return gPauses; }
void ResetPauses() { gPauses = 0; }
