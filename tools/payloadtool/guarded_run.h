#pragma once
#include <cstdio>

// Runs command(argc, argv) and returns its exit code. An exception that
// leaves it ends the run with a line on errors instead of an abort:
// "payloadtool: out of memory" and kExitOutOfMemory for an allocation that
// failed, "payloadtool: internal error: <what>" and kExitInternalError for
// anything else. Standard output is flushed first, so what was printed
// before stays in order.
int RunGuarded(int (*command)(int, char**), int argc, char** argv, FILE* errors = stderr);
