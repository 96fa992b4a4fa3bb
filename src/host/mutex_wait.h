#pragma once

// Waits, one second at a time, while the named mutex can still be opened
// (with full access). All waits share one budget of five sleeps: once it is
// spent, each further call probes its mutex once and returns.
void WaitWhileMutexExists(const char* name);

// Starts a fresh budget of five sleeps.
void ResetMutexWaitBudget();

// Probes made since the last reset (to observe the shared budget).
int MutexWaitProbes();
