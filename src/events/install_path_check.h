#pragma once
#include "events/actions.h"
#include "events/install_path_rule.h"

// Reads the install path named by the payload's settings into gInstallPath.
// On failure (another rootkey, or no such value) reports "<type> Could not
// find registry key for install path - [rootkey][subkey][installkey]" and
// returns false.
bool ReadInstallPathOrReport(const EventContext& event);
