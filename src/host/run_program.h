#pragma once

// Starts a program through the shell (default verb, no parameters, shown
// normally) without waiting for it or keeping a handle. True when the shell
// accepted the request.
bool RunProgram(const char* path);
