#pragma once
#include <windows.h>

#include "base/string_ops.h"

// The scratch file that ExtractFile fills before moving it over its target.
// name and type only label the failure reports.

// Names the scratch file in the target's own directory: "ppp" and the
// current thread's identifier, from GetTempFileNameA, which neither creates
// nor checks the file for a non-zero number. Reports
// and returns false on failure, also when the target's directory is too long
// for a whole scratch name.
bool NameScratchFile(const char* name, const char* type, const char* target, PathBuffer& scratch);

// Creates (or truncates) the scratch file and writes all size bytes of data
// to it in one write. Reports and returns false when the write fails, falls
// short or the file cannot be closed; an incomplete scratch file is removed.
bool WriteScratchFile(const char* name, const char* type, const char* scratch, const void* data,
                      DWORD size);
