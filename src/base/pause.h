#pragma once

// Every deliberate wait of the program (the retries of a deletion or a move,
// the mutex stage of the shutdown) goes through here, so that tests count
// the pauses taken instead of timing them.
void PauseMs(unsigned long milliseconds);

// Pauses taken since the last reset (process-wide, for tests).
int PausesTaken();
void ResetPauses();

// Test seam: with sleeping off, pauses are counted but take no time, for
// tests of retries that nothing else waits on. The product never turns it
// off.
void SetPausesSleep(bool sleep);
