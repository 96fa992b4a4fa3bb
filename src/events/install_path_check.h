#pragma once
#include "events/actions.h"
#include "events/install_path_rule.h"

// Reads the install path named by the payload's settings into gInstallPath.
// On failure (another rootkey, or no such value) reports the event's type and
// the three settings (FormatInstallPathMissing) and returns false.
bool ReadInstallPathOrReport(const EventContext& event);
