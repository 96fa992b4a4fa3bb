#pragma once
#include <cstddef>

#include "base/report.h"

// The run log: plain 8-bit text that support staff and deployment tools read
// after (or during) a run, one fact per line, each line prefixed with the
// milliseconds since the run started. It never changes what the run does: a
// log that cannot be opened or written is given up without a word, and
// every call below is then a no-op. Lines may come from any thread; each is
// written whole, with one WriteFile at the end of the file.

// Where "1" puts the log, in the temporary directory.
constexpr char kRunLogFileName[] = "LumenoSetup.log";
// A log larger than this at start-up is first renamed to <name>.1.
constexpr unsigned long kRunLogRollBytes = 1024ul * 1024ul;
// Room for a whole report, its prefix, the ellipsis and the line end.
constexpr size_t kRunLogLineSize = kReportBufferSize + 32;

// Starts the run's clock (the lines' prefix and RunLogMs). Called first thing.
void StartRunClock();
// Milliseconds since StartRunClock.
unsigned long RunLogMs();

// Opens path (an absolute path the caller has checked) for appending, after
// renaming a log larger than kRunLogRollBytes to path + ".1" (replacing an
// older one). False, with no log, when it cannot be opened.
bool OpenRunLog(const char* path);
// Ends the log (tests; the process's end closes it otherwise).
void CloseRunLog();

// One line, formatted printf-style; a text longer than the line's room ends
// with "..." instead of being cut silently.
void LogLine(const char* format, ...) PRINTF_STYLE(1, 2);
// One line holding text as it is; cut says that the text itself was cut,
// so that the line ends with "...". Line breaks become blanks.
void LogText(const char* text, bool cut);
