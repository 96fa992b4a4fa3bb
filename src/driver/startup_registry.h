#pragma once

// Registry work of start-up. Every failure is silent and never stops the run.

// True only when the data of HKLM\SOFTWARE "lumenodebug" begins with the two
// bytes '1' and NUL, the string "1" with its terminator (any type).
bool ReadDebugSwitch();

// Writes OriginalInstallerPath (the program's own full path) under
// HKLM\SOFTWARE\Korvex\Lumeno\ unless a value is there already. True when
// this call wrote it.
bool RecordOriginalInstallerPath();

// Deletes OriginalInstallerPath; called only by the run that wrote it.
void RemoveOriginalInstallerPath();

// Where the value lives (the key path keeps its trailing backslash).
constexpr const char kInstallerKeyPath[] = "SOFTWARE\\Korvex\\Lumeno\\";
constexpr const char kOriginalInstallerPathValue[] = "OriginalInstallerPath";
