/* The example's installer: puts the viewer under Program Files, records how
   it was called there, and registers the install path the bootstrapper reads
   afterwards. Exit code 0 when installed, 1 otherwise. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

static const char kProductKey[] = "SOFTWARE\\Outside\\Viewer";

static int WriteText(const char* path, const char* text) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            NULL);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  const DWORD size = (DWORD)strlen(text);
  const BOOL wrote = WriteFile(file, text, size, &written, NULL) && written == size;
  return CloseHandle(file) && wrote;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)instance;
  (void)previous;
  (void)show;
  char directory[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("ProgramFiles", directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  if (strlen(directory) + sizeof "\\Outside Viewer\\viewer.txt" > sizeof directory) return 1;
  strcat(directory, "\\Outside Viewer");
  if (!CreateDirectoryA(directory, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) return 1;

  char path[MAX_PATH], text[1024];
  snprintf(path, sizeof path, "%s\\viewer.txt", directory);
  snprintf(text, sizeof text, "Outside Viewer installed with [%s]\r\n", commandLine);
  if (!WriteText(path, text)) return 1;

  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
    return 1;
  const LONG set = RegSetValueExA(key, "InstallPath", 0, REG_SZ, (const BYTE*)directory,
                                  (DWORD)strlen(directory) + 1);
  RegCloseKey(key);
  return set == ERROR_SUCCESS ? 0 : 1;
}
