#pragma once
#include "base/unique_handle.h"

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
