#pragma once

// The part of a process command line after the program's own name: the name
// ends at the first character at or below space outside double quotes (each
// quote toggles), and the blanks that follow it are skipped. Points into
// commandLine; an empty string when nothing follows or commandLine is null.
const char* CommandLineTail(const char* commandLine);
