#include "events/install_path_rule.h"

#include <cstring>

#include "base/report.h"

bool InstallPathRootAccepted(const char* rootkey) {
  return strcmp(rootkey, kLocalMachineRoot) == 0;
}

void FormatInstallPathMissing(char* buffer, size_t size, const char* typeName,
                              const char* rootkey, const char* subkey, const char* installkey) {
  FormatBoundedArgs(buffer, size, "%s Could not find registry key for install path - [%s][%s][%s]",
                    typeName, rootkey, subkey, installkey);
}
