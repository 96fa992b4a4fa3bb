#pragma once

// Stops the running installed application before its files are replaced: asks
// its windows to close, waits up to five seconds in all while its mutexes
// remain, then terminates whatever of it still runs. Never fails; reports
// nothing. Returns how often the mutex stage found a mutex still there.
int ShutdownLumeno();
