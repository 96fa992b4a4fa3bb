#pragma once
#include "events/actions.h"

// The payload's registry root that the install-path lookups accept; any other
// rootkey counts as a missing install path.
constexpr char kLocalMachineRoot[] = "HKEY_LOCAL_MACHINE";

// Reads the install path named by the payload's settings into gInstallPath.
// On failure (another rootkey, or no such value) reports "<type> Could not
// find registry key for install path - [rootkey][subkey][installkey]" and
// returns false.
bool ReadInstallPathOrReport(const EventContext& event);
