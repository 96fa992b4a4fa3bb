#pragma once
#include <windows.h>

#include <cstdint>

#include "base/string_ops.h"

// A temporary program's full path and the temporary directory that holds it
// (with its trailing backslash). The caller clears both before use.
struct TempExeName {
  char path[kPathBufferSize];
  char directory[kPathBufferSize];
};

// How many free-name candidates one search may try.
constexpr int kTempNameCandidates = 1000;

// Fills the directory from GetTempPathA, then the path with a temporary
// program name that no file has yet (the file is not created). 0 on success;
// -1 after reporting "GetTempPath failed" when there is no usable temporary
// directory or no free name.
int MakeTempEXEName(TempExeName* name);

// Writes directory + "LumenoUpdater_<hex>.exe" into path (260 bytes) for the
// first drawn number whose file does not exist and returns that number
// (never 0); 0 when all 1000 candidates were taken. A name that would not fit
// the buffer counts as taken. Seeded from the current time and thread.
unsigned MakeRandomEXEName(char* path, const char* directory);

// The same search with a given seed, so that the names it draws are known.
unsigned MakeRandomEXENameFromSeed(char* path, const char* directory, uint32_t seed);
