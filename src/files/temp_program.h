#pragma once
#include <windows.h>

#include <cstdint>

#include "base/string_ops.h"
#include "base/unique_handle.h"

// Temporary programs: the names RUN and URLRUN give the programs they start,
// the hold that keeps a program as it was checked until its start, its
// deletion, and the guard that releases all of it on every way out.

// --- Names

// A temporary program's full path and the temporary directory that holds it
// (with its trailing backslash). The caller clears both before use.
struct TempExeName {
  PathBuffer path;
  PathBuffer directory;
};

// How many free-name candidates one search may try.
constexpr int kTempNameCandidates = 1000;

// Fills the directory from the temporary directory, then the path with a
// temporary program name that no file has yet (the file is not created). 0
// on success; -1 after reporting when there is no usable temporary
// directory or no free name.
int MakeTempEXEName(TempExeName* name);

// Writes directory + "LumenoUpdater_<hex>.exe" into path for the first drawn
// number whose file does not exist and returns that number (never 0); 0
// when all 1000 candidates were taken. A name that would not fit the buffer
// counts as taken. Seeded from the current time and thread.
unsigned MakeRandomEXEName(PathBuffer& path, const char* directory);

// The same search with a given seed, so that the names it draws are known.
unsigned MakeRandomEXENameFromSeed(PathBuffer& path, const char* directory, uint32_t seed);

// Reserves a new "plr<n>.tmp" in the temporary directory: GetTempFileNameA
// creates it empty, which keeps the name taken until the caller deletes it.
// False when there is no name: directory is then empty if the temporary
// directory could not be had or is too long for a whole name (the platform
// could return the name cut and unterminated), and name is always empty.
bool ReserveTempFileName(PathBuffer& directory, PathBuffer& name);

// --- The hold

// A program file that is about to be started, held against every other
// writer, renamer and deleter: opened for reading and shared for reading
// only. Its own start (CreateProcess, ShellExecuteEx, the update service) and
// whatever only reads it (the publisher check) may still open it; a process
// that already holds it for writing makes the hold fail. Nothing else of the
// same user can swap the program between its check or extraction and its
// start. An invalid handle, with GetLastError() telling why, on failure.
UniqueHandle HoldProgramFile(const char* path);

// Test seams, which the product never sets (null removes them), called with
// the program's path: BeforeHeld... just before each start of a held
// program; the hold observer just before HoldProgramFile opens the file,
// when it is complete, closed and not yet held.
using HeldProgramObserver = void (*)(const char* path);
void SetHeldProgramObserver(HeldProgramObserver observer);
void BeforeHeldProgramStart(const char* path);
void SetProgramHoldObserver(HeldProgramObserver observer);

// --- Deletion

// Deletes a temporary program, trying once more after a second when the
// first attempt fails (the program may only just have ended). Reports when
// both fail; the caller goes on either way. An empty (or null) path does
// nothing.
void EXEFileDelete(const char* path);

// --- The guard

// Owns a temporary program from its naming to the end of its event: its
// name, the placeholder file that reserves the name (when there is one) and
// the hold. When the guard goes, the hold is closed first (it shares no
// deletion, not even with this process), then the program is deleted with
// the deleter the event chose, then the placeholder. An empty path or
// placeholder is not deleted.
class TempProgram {
 public:
  using Deleter = void (*)(const char* path);
  explicit TempProgram(Deleter deleteProgram) : deleteProgram_(deleteProgram) {}
  ~TempProgram();
  TempProgram(const TempProgram&) = delete;
  TempProgram& operator=(const TempProgram&) = delete;

  // Gives up the program's name: a search that failed may have left a name
  // that another file has.
  void Forget() { name.path[0] = '\0'; }

  TempExeName name = {};
  PathBuffer placeholder = {};
  UniqueHandle hold;

 private:
  Deleter deleteProgram_;
};
