#include "host/shutdown.h"

#include "host/app_windows.h"
#include "host/mutex_wait.h"
#include "host/process_kill.h"

void ShutdownLumeno() {
  CloseApplicationWindows();
  // The application releases its mutexes as it ends.
  ResetMutexWaitBudget();
  WaitWhileMutexExists("Lumeno2");
  WaitWhileMutexExists("Lumeno Media Detector");
  WaitWhileMutexExists("Brimlet");
  KillLumenoProcesses();
}
