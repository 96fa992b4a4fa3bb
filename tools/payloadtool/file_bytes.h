#pragma once
#include <string>

// Whole-file reading and writing for payloadtool, one implementation per
// platform with the same reasons.

// Reads a whole file. False with a one-line reason ("no such file",
// "cannot open (error 5)", ...) in *error.
bool ReadFileBytes(const std::string& path, std::string* bytes, std::string* error);

// Writes bytes to a new temporary file beside path and moves it over path,
// so that path is either as it was or complete. On failure the temporary
// file is gone and *error says what failed ("cannot replace OUT (error 32)").
bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string* error);
