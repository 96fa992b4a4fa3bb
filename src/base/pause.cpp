#include "base/pause.h"

#include <windows.h>

namespace {
int gPauses = 0;
bool gSleep = true;
}  // namespace

void PauseMs(unsigned long milliseconds) {
  ++gPauses;
  if (gSleep) Sleep(milliseconds);
}

int PausesTaken() { return gPauses; }
void ResetPauses() { gPauses = 0; }
void SetPausesSleep(bool sleep) { gSleep = sleep; }
