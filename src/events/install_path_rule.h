#pragma once
#include <cstddef>

// The run's rule for the install path, shared by the events that read it and
// by payloadtool's check: the hive is never taken from the payload's rootkey,
// and any rootkey but this one counts as a missing install path.
constexpr char kLocalMachineRoot[] = "HKEY_LOCAL_MACHINE";

bool InstallPathRootAccepted(const char* rootkey);

// The message of a failed install-path lookup by an event of typeName.
void FormatInstallPathMissing(char* buffer, size_t size, const char* typeName,
                              const char* rootkey, const char* subkey, const char* installkey);
