#include "host/shutdown.h"

#include "host/app_windows.h"
#include "host/mutex_wait.h"
#include "host/process_kill.h"

int ShutdownLumeno() {
  CloseApplicationWindows();
  // The application releases its mutexes as it ends.
  int probes = 0;
  WaitWhileMutexExists("Lumeno2", &probes);
  WaitWhileMutexExists("Lumeno Media Detector", &probes);
  WaitWhileMutexExists("Brimlet", &probes);
  KillLumenoProcesses();
  return probes;
}
