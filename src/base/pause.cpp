#include "base/pause.h"

#include <windows.h>

namespace {
// Counted for the whole process, so that a test sees every pause of the
// code it drives, however deep.
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
