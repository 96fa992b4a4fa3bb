#include "host/process_kill.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstring>

#include "base/system_functions.h"
#include "base/unique_handle.h"

namespace {
#ifdef _WIN64
static_assert(sizeof(PROCESSENTRY32) == 304, "the 64-bit ANSI process entry is 304 bytes");
#else
static_assert(sizeof(PROCESSENTRY32) == 296, "the 32-bit ANSI process entry is 296 bytes");
#endif
// Entries no larger than this end before the executable name (36 bytes; 44
// in the 64-bit entry).
constexpr DWORD kEntrySizeWithoutName = offsetof(PROCESSENTRY32, szExeFile);

void Terminate(DWORD processId) {
  UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  if (process) TerminateProcess(process.get(), 1);
}

void KillIfNamed(PROCESSENTRY32* entry, const char* const* names) {
  // The name comes from outside the program: never compare past its field.
  entry->szExeFile[sizeof entry->szExeFile - 1] = '\0';
  for (const char* const* name = names; **name; ++name) {
    if (strstr(entry->szExeFile, *name)) Terminate(entry->th32ProcessID);
  }
}
}  // namespace

int KillProcessesByName(const char* const* names) {
  // Looked up at run time: older systems lack the process-list functions.
  const auto createSnapshot = GetSystemFunction<SystemFunction::kCreateToolhelp32Snapshot>();
  const auto first = GetSystemFunction<SystemFunction::kProcess32First>();
  const auto next = GetSystemFunction<SystemFunction::kProcess32Next>();
  if (!createSnapshot || !first || !next) return -1;

  const UniqueHandle snapshot(createSnapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return -1;

  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  if (!first(snapshot.get(), &entry)) return -1;
  do {
    if (entry.dwSize > kEntrySizeWithoutName && entry.th32ProcessID != self)
      KillIfNamed(&entry, names);
    entry.dwSize = sizeof entry;
  } while (next(snapshot.get(), &entry));
  return 0;
}

void KillLumenoProcesses() {
  static const char* const kNames[] = {
      "Lumeno2.exe",  "Lumeno2.scr",   "LumenoMediaDetector.exe", "Brimlet.exe",
      "KorvexPhotoLab.scr", "clipthumb.exe", "Lumeno3.exe", "KvxPhotos.scr",
      "LumenoPhotoViewer.exe", ""};
  KillProcessesByName(kNames);
}
