#include "base/process_state.h"

#ifdef _WIN32
HINSTANCE gModule = nullptr;
#endif
unsigned char gDebug = 0;
unsigned char gBrowserSearch = 0;
const char* gCallerCmdLine = "";
PathBuffer gInstallPath = {};
int gLastError = 0;
bool gExitCodeFromEvent = false;

void ResetProcessState() {
#ifdef _WIN32
  gModule = nullptr;
#endif
  gDebug = 0;
  gBrowserSearch = 0;
  gCallerCmdLine = "";
  gInstallPath[0] = '\0';
  gLastError = 0;
  gExitCodeFromEvent = false;
}
