#pragma once
#include <cstdarg>
#include <cstddef>

// printf-style format checking against the formatter that does the work:
// msvcrt's on Windows (no %zu, %I64d for 64-bit values), the C library's
// elsewhere.
#ifdef _WIN32
#define PRINTF_STYLE(string_index, first_to_check) \
  __attribute__((format(ms_printf, string_index, first_to_check)))
#else
#define PRINTF_STYLE(string_index, first_to_check) \
  __attribute__((format(printf, string_index, first_to_check)))
#endif

// Size of the error-report buffer; longer messages are cut.
constexpr size_t kReportBufferSize = 2048;
// Size of the standard-output line buffer; longer lines are cut.
constexpr size_t kPrintBufferSize = 260;

// Formats a failure message (printf-style) into a 2048-byte buffer and, when
// the debug switch is on, shows it in a message box captioned "ERROR";
// otherwise discards it. A null format does nothing.
void ReportError(const char* format, ...) PRINTF_STYLE(1, 2);

// The debug switch, off until the driver has read it at start-up.
void SetDebugSwitch(bool on);

// Formats a line (its one use has a single %s) into a 260-byte buffer and
// writes it to standard output.
void PrintText(const char* format, ...) PRINTF_STYLE(1, 2);

// Formats into buffer (size > 0), cutting what does not fit; always terminated.
// True when the whole text fitted.
bool FormatBounded(char* buffer, size_t size, const char* format, va_list args)
    PRINTF_STYLE(3, 0);
void FormatBoundedArgs(char* buffer, size_t size, const char* format, ...) PRINTF_STYLE(3, 4);

// Test seam: receives every formatted message in order (the product never sets
// it). Null removes the observer.
using ReportObserver = void (*)(const char* text);
void SetReportObserver(ReportObserver observer);
void SetPrintObserver(ReportObserver observer);

// Platform half of the two reports.
void ShowErrorMessage(const char* text);
void WriteStandardOutput(const char* text, size_t length);
