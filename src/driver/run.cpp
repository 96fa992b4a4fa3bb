#include "driver/run.h"

#include "base/report.h"
#include "driver/startup_registry.h"
#include "host/browser_search.h"
#include "payload/payload_resource.h"
#include "payload/payload_walk.h"
#include "state/process_state.h"

int RunBootstrapper(HINSTANCE module, const char* commandLineTail) {
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
