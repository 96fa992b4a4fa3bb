#pragma once
#include <windows.h>

// Opens the run log that HKLM\SOFTWARE "lumenolog" asks for, if any, and
// writes the run's header: when (UTC), which program and version, which
// process, command line and system. Without the value, or when the log
// cannot be opened, nothing happens.
void StartRunLog(HINSTANCE module, const char* commandLineTail);

// The version record's file version as "a.b.c.d" into buffer (at least 24
// bytes); "unknown" when the module has none.
void ModuleVersionText(HINSTANCE module, char* buffer, size_t size);
