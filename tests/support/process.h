#pragma once
#include <windows.h>

#include <string>

struct ProcessResult {
  bool started = false;
  bool timedOut = false;  // the process was killed after the time limit
  DWORD exitCode = 0;     // the full 32-bit code, as GetExitCodeProcess gives it
  DWORD processId = 0;
  std::string output;     // everything written to standard output and error
};

// Runs commandLine with a pipe as its standard output and error, waits at
// most timeoutMs (then terminates it) and returns what it did. onStarted, when
// given, runs on the calling thread right after the process started.
ProcessResult RunProcess(const std::string& commandLine, DWORD timeoutMs = 60000,
                         const std::string& workingDirectory = std::string(),
                         void (*onStarted)(DWORD processId, void* context) = nullptr,
                         void* context = nullptr);

// Reads what the child writes into pipe until process ends, or terminates it
// (exit code 0xDEAD) at deadline (a GetTickCount64 value); true when it had to.
// Polls rather than blocking on the pipe: programs the child started may keep
// the write end open long after the child has exited.
bool WaitWhileDraining(HANDLE process, HANDLE pipe, ULONGLONG deadline, std::string* output);

// Directory of the running test program (build/.../bin), with a trailing backslash.
std::string ModuleDirectory();

// Path of a program built beside the test program.
std::string BuiltProgram(const char* fileName);

// Quotes a path for a command line.
std::string Quote(const std::string& text);
