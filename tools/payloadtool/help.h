#pragma once
#include <cstdio>
#include <string>
#include <vector>

// The list of commands with their synopses, for `payloadtool help` and
// `payloadtool --help`.
void PrintOverview(FILE* out);

// One command's options with an example; false for a name that is no command.
bool PrintCommandHelp(const std::string& command, FILE* out);

// payloadtool help [COMMAND]
int HelpCommand(const std::vector<std::string>& args);

// The line `payloadtool --version` prints: "payloadtool <version>".
void PrintVersion(FILE* out);

// The commands, for messages: "check, pack, show, tag".
const char* CommandNames();
