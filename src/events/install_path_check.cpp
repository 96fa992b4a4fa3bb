#include "events/install_path_check.h"

#include "base/report.h"
#include "host/registry_lookups.h"
#include "state/process_state.h"

bool ReadInstallPathOrReport(const EventContext& event) {
  if (InstallPathRootAccepted(event.rootkey) &&
      ReadInstallPath(event.subkey, event.installkey, gInstallPath))
    return true;
  char message[kReportBufferSize];
  FormatInstallPathMissing(message, sizeof message, event.record.Get(kFieldType), event.rootkey,
                           event.subkey, event.installkey);
  ReportError("%s", message);
  return false;
}
