#include "driver/run.h"

#include "base/report.h"
#include "base/run_log.h"
#include "driver/run_log_start.h"
#include "driver/startup_registry.h"
#include "host/browser_search.h"
#include "payload/payload_resource.h"
#include "payload/payload_walk.h"
#include "state/process_state.h"

namespace {
int Run(HINSTANCE module, const char* commandLineTail) {
  // Held until the process ends. An existing mutex of that name is opened and
  // the run goes on: only a payload's FAILONMUTEX can stop a second copy.
  if (!CreateMutexA(nullptr, TRUE, "Lumeno2Installing")) {
    ReportError("Could not create mutex--Tarnwick already running???");
    return -1;
  }

  SetDebugSwitch(ReadDebugSwitch());
  // Taken before any event runs, so that SETREFERRALURL can tell whether the
  // setting changed during the run.
  gBrowserSearch = CheckBrowserSearch() ? 1 : 0;
  const bool wrotePath = RecordOriginalInstallerPath();
  gCallerCmdLine = commandLineTail;

  HRSRC resource = FindResourceA(module, "PAYLOAD", "XML");
  TextBlock* payload = resource ? ExtractFileIntoXMLTAG(resource, module) : nullptr;
  if (!payload) {
    ReportError("Could not extract PAYLOAD.XML");
    return -1;
  }

  int exitCode = 0;
  if (ProcessXML2(payload, module) != 0) {
    ReportError("ProcessXML2 failed");
    // Whoever started the run reads 0 as success: only FAILONMUTEX chooses
    // the code of a failed walk, every other failure is -1.
    exitCode = gExitCodeFromEvent ? gLastError : -1;
  }
  DeleteTextBlock(payload);

  if (wrotePath) RemoveOriginalInstallerPath();
  return exitCode;
}
}  // namespace

int RunBootstrapper(HINSTANCE module, const char* commandLineTail) {
  // First of all: whatever fails from here on is in the log.
  StartRunClock();
  StartRunLog(module, commandLineTail);
  const int exitCode = Run(module, commandLineTail);
  LogLine("exit code %d after %lu ms", exitCode, RunLogMs());
  return exitCode;
}
