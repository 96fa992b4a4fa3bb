#pragma once

// Reserves a new "plr<n>.tmp" in the temporary directory: GetTempFileNameA
// creates it empty, which keeps the name taken until the caller deletes it.
// directory and name have MAX_PATH bytes each. False when there is no name:
// directory is then empty if the temporary directory could not be had or is
// too long for a whole name (the platform could return the name cut and
// unterminated), and name is always empty.
bool ReserveTempFileName(char* directory, char* name);
