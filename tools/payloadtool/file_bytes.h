#pragma once
#include <string>

// Reads a whole file. False with a one-line reason ("no such file",
// "cannot open (error 5)", ...) in *error.
bool ReadFileBytes(const std::string& path, std::string* bytes, std::string* error);

// The text of a Windows error code: "error 5".
std::string ErrorCodeText(unsigned long code);
