#pragma once

// Puts a complete scratch file in place of a target, waiting out other
// processes that still hold the old target open.

// Attempts to delete, and the pause after each failed attempt, while another
// process may still hold the target.
constexpr int kReplaceAttempts = 10;
constexpr unsigned kReplacePauseMs = 500;

// Deletes the old target; true once it is gone (or was never there). After
// the last failed attempt reports the failed deletion and returns false.
bool RemoveOldTarget(const char* target);

// Moves the scratch file to the target name; reports and returns false when
// every attempt failed (the scratch file stays for the caller to remove).
bool MoveScratchToTarget(const char* name, const char* type, const char* scratch,
                         const char* target);
