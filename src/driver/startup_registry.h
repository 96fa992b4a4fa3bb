#pragma once

#include "base/string_ops.h"

// Registry work of start-up. Every failure is silent and never stops the run.

// True only when the data of HKLM\SOFTWARE "lumenodebug" begins with the two
// bytes '1' and NUL, the string "1" with its terminator (any type).
bool ReadDebugSwitch();

// The run log's file from the string value HKLM\SOFTWARE "lumenolog": its
// data as a path, or for "1" LumenoSetup.log in the temporary directory.
// False (no log) when the value is missing, empty or not a string, and when
// the path is not rooted (IsRootedPath) or does not fit path's 260 bytes.
bool ReadLogSwitch(PathBuffer& path);

// Writes OriginalInstallerPath (the program's own full path) under
// HKLM\SOFTWARE\Korvex\Lumeno\ unless a value is there already. True when
// this call wrote it.
bool RecordOriginalInstallerPath();

// Deletes OriginalInstallerPath; called only by the run that wrote it.
void RemoveOriginalInstallerPath();

// Where the value lives (the key path keeps its trailing backslash).
constexpr const char kInstallerKeyPath[] = "SOFTWARE\\Korvex\\Lumeno\\";
constexpr const char kOriginalInstallerPathValue[] = "OriginalInstallerPath";
