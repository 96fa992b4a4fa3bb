// copy_floor.exe PROGRAM: the least that any installer carrying PROGRAM has
// to do, as the floor of the launch benchmark: copy its bytes with one
// CopyFileA into a fresh folder under the temporary directory, start the
// copy, wait for it, delete it. Exits with the program's exit code, or 1
// when a step fails.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "driver/command_line.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char source[MAX_PATH];
  snprintf(source, sizeof source, "%s", CommandLineTail(GetCommandLineA()));
  if (source[0] == '"') {  // a quoted path: what lies between the quotes
    char* end = strchr(source + 1, '"');
    if (end) *end = '\0';
    memmove(source, source + 1, strlen(source));
  }
  char folder[MAX_PATH];
  char target[MAX_PATH];
  const DWORD temp = GetTempPathA(MAX_PATH, folder);
  if (temp == 0 || temp >= MAX_PATH - 32) return 1;
  snprintf(folder + temp, MAX_PATH - temp, "floor_%lx", GetCurrentProcessId());
  snprintf(target, sizeof target, "%s\\child.exe", folder);
  if (!CreateDirectoryA(folder, nullptr)) return 1;
  DWORD exitCode = 1;
  if (CopyFileA(source, target, TRUE)) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(target, nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                       &process)) {
      if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
          !GetExitCodeProcess(process.hProcess, &exitCode))
        exitCode = 1;
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
    DeleteFileA(target);
  }
  RemoveDirectoryA(folder);
  return static_cast<int>(exitCode);
}
