#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Programs that something under test started without handing back a handle
// (through the shell), found by their executable file names. The names must
// be the test's own, so that every process found is one it caused.

// The bare executable names (as Toolhelp lists them, letter case ignored) of
// the processes now running under any of the given names, oldest first by
// creation time.
std::vector<std::string> RunningInStartOrder(const std::vector<std::string>& exeNames);

// Terminates, by id, every process running under one of the given names and
// waits for each to end, so that their files can be removed.
void EndRunning(const std::vector<std::string>& exeNames);
