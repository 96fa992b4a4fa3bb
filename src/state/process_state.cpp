#include "state/process_state.h"

#include "base/report.h"

unsigned char gBrowserSearch = 0;
const char* gCallerCmdLine = "";
PathBuffer gInstallPath = {};
int gLastError = 0;
bool gExitCodeFromEvent = false;

void ResetProcessState() {
  SetDebugSwitch(false);
  gBrowserSearch = 0;
  gCallerCmdLine = "";
  gInstallPath[0] = '\0';
  gLastError = 0;
  gExitCodeFromEvent = false;
}
