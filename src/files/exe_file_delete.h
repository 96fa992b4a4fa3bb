#pragma once

// Deletes a temporary program, trying once more after a second when the
// first attempt fails (the program may only just have ended). Reports
// "Unable to EXEFileDelete" when both fail; the caller goes on either way.
// An empty (or null) path does nothing.
void EXEFileDelete(const char* path);
