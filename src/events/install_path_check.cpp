#include "events/install_path_check.h"

#include <cstring>

#include "base/process_state.h"
#include "base/report.h"
#include "host/registry_lookups.h"

bool ReadInstallPathOrReport(const EventContext& event) {
  if (strcmp(event.rootkey, kLocalMachineRoot) == 0 &&
      ReadInstallPath(event.subkey, event.installkey, gInstallPath))
    return true;
  ReportError("%s Could not find registry key for install path - [%s][%s][%s]",
              event.record.Get(kFieldType), event.rootkey, event.subkey, event.installkey);
  return false;
}
