#pragma once
#include <string>

// Bytes from a file as text that is safe to print on a terminal: every byte
// outside printable ASCII becomes \xNN, so that no escape sequence or other
// control byte in the file reaches the terminal. With keepLineBreaks, line
// feeds, tabs and a carriage return before a line feed are kept as they are
// (a payload's layout); a lone carriage return, which would let later text
// hide earlier text on the same line, is escaped all the same.
std::string PrintableText(const std::string& bytes, bool keepLineBreaks = false);
