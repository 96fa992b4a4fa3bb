#include "base/run_log.h"

#include <windows.h>

#include <cstring>

#include "base/string_ops.h"
#include "base/unique_handle.h"

namespace {
// Written on the main thread at start-up; after that only read, except that
// a failed write gives the log up (any thread; the handle then stays open
// until the process ends, so no other thread can write to a reused handle).
HANDLE gRunLog = nullptr;
DWORD gStartTick = 0;
}  // namespace

void StartRunClock() { gStartTick = GetTickCount(); }

unsigned long RunLogMs() { return GetTickCount() - gStartTick; }

bool OpenRunLog(const char* path) {
  PathBuffer old;
  // Both names must fit whole: a cut one would be another file.
  if (gRunLog || strlen(path) + 2 >= sizeof old) return false;
  FormatBoundedArgs(old, sizeof old, "%s.1", path);
  for (int attempt = 0;; ++attempt) {
    // Other runs may read it, and append to it, at the same time:
    // FILE_APPEND_DATA alone puts every write at the end of the file.
    UniqueHandle file(CreateFileA(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size = {};
    if (attempt > 0 || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= kRunLogRollBytes) {
      gRunLog = file.release();
      return true;
    }
    // Too large: it becomes the older log and this run starts a new one.
    // Should the rename fail (another run has it open), this run appends.
    file.Close();
    DeleteFileA(old);
    MoveFileA(path, old);
  }
}

void CloseRunLog() {
  UniqueHandle(gRunLog).Close();
  gRunLog = nullptr;
}

void LogText(const char* text, bool cut) {
  HANDLE log = gRunLog;
  if (!log) return;
  char line[kRunLogLineSize];
  FormatBoundedArgs(line, 16, "%lu ", RunLogMs());
  size_t length = strlen(line);
  // The ellipsis and the line end always have their room.
  while (*text && length < sizeof line - 5) {
    const char c = *text++;
    line[length++] = (c == '\r' || c == '\n') ? ' ' : c;
  }
  if (cut || *text) {
    memcpy(line + length, "...", 3);
    length += 3;
  }
  line[length++] = '\r';
  line[length++] = '\n';
  DWORD written = 0;
  // A log that cannot take a line (full disk, lost share) is given up:
  // later lines would leave holes that no reader could see.
  if (!WriteFile(log, line, static_cast<DWORD>(length), &written, nullptr) || written != length)
    gRunLog = nullptr;
}

void LogLine(const char* format, ...) {
  if (!gRunLog) return;
  char text[kRunLogLineSize];
  va_list args;
  va_start(args, format);
  const bool whole = FormatBounded(text, sizeof text, format, args);
  va_end(args);
  LogText(text, !whole);
}
