#pragma once
#include <string>
#include <vector>

// Exit codes of payloadtool.
constexpr int kExitOk = 0;
constexpr int kExitRejected = 1;       // the payload has errors (a run would fail)
constexpr int kExitUsage = 2;          // bad arguments, or a file that cannot be used
constexpr int kExitInternalError = 3;  // a fault of payloadtool itself (guarded_run.h)
constexpr int kExitOutOfMemory = 4;    // an allocation failed

// Each command gets the arguments after its own name.
int CheckCommand(const std::vector<std::string>& args);
int PackCommand(const std::vector<std::string>& args);
int ShowCommand(const std::vector<std::string>& args);
int TagCommand(const std::vector<std::string>& args);

// "payloadtool: <text>" on standard error; returns kExitUsage.
int UsageError(const std::string& text);

// Reads a payload file; an empty one is refused (a run cannot load it).
bool ReadPayloadFile(const std::string& path, std::string* bytes);
