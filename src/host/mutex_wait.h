#pragma once

// Waits, one second at a time, while the named mutex can still be opened
// (with full access). The waits of one shutdown share one budget of five
// sleeps, counted in *probes (successful opens, from 0 at its start): once
// it is spent, each further call probes its mutex once and returns.
void WaitWhileMutexExists(const char* name, int* probes);
