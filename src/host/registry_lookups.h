#pragma once
#include <windows.h>

#include "base/string_ops.h"

// What the bootstrapper learns about the installed application from the
// registry. None of these report errors; a missing, unreadable or oversized
// key or value simply gives a negative result.

// True when HKEY_LOCAL_MACHINE\subkey cannot be opened for reading (absent or
// access denied).
bool IsRegKeyMissing(const char* subkey);

// Reads HKEY_LOCAL_MACHINE\subkey, value valueName (any type) into
// installPath and makes it end with a backslash (an empty value stays empty).
// On false installPath is left as it was: the key or value is missing, the
// value does not fit 260 bytes with its terminator, or there is no room for
// the backslash.
bool ReadInstallPath(const char* subkey, const char* valueName,
                     PathBuffer& installPath);

// Reads the DWORD "DisableMediaDetector" under HKEY_CURRENT_USER\subkey\Preferences
// into *value. True only for a value of type REG_DWORD (data shorter than four
// bytes is zero-extended); otherwise *value is not touched.
bool ReadDisableMediaDetector(const char* subkey, DWORD* value);

// Reads valueName (any type) under HKEY_LOCAL_MACHINE\subkey\Installer into
// buffer as a terminated string. On false the buffer holds an empty
// string, so that nothing partial is ever taken for a program path.
bool ReadInstallerValue(const char* subkey, const char* valueName, PathBuffer& buffer);

// Queries a value of any type into buffer and guarantees a terminated string.
// False when the value is missing, longer than the buffer, or fills all of it
// without a terminator; the buffer's contents are then undefined.
bool QueryRegistryText(HKEY key, const char* valueName, PathBuffer& buffer);
