// The demo installer that the default bootstrapper carries: installs the demo
// application under Program Files, records where and how it was called, and
// registers the values the bootstrapper reads afterwards (the install path
// and the programs to start). Exit code 0 on success, 1 on any failure.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kProductKey[] = "SOFTWARE\\Korvex\\Lumeno\\Lumeno2";
constexpr char kInstallerKey[] = "SOFTWARE\\Korvex\\Lumeno\\Lumeno2\\Installer";
constexpr DWORD kDemoInstallMs = 2500;

struct Payload {
  const char* resource;
  const char* fileName;
};
constexpr Payload kFiles[] = {
    {"DEMOAPP", "Lumeno2.exe"},
    {"DEMODETECTOR", "LumenoMediaDetector.exe"},
};

bool Join(char* out, size_t size, const char* a, const char* b) {
  const int n = _snprintf(out, size, "%s%s", a, b);
  out[size - 1] = '\0';
  return n >= 0 && static_cast<size_t>(n) < size;
}

bool CreateDirectories(const char* directory) {
  char path[MAX_PATH];
  if (!Join(path, sizeof path, directory, "")) return false;
  for (char* p = path + 3; *p; ++p) {
    if (*p != '\\') continue;
    *p = '\0';
    CreateDirectoryA(path, nullptr);
    *p = '\\';
  }
  return CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteResource(const char* name, const char* target) {
  HRSRC found = FindResourceA(nullptr, name, "EXE");
  const DWORD size = found ? SizeofResource(nullptr, found) : 0;
  HGLOBAL loaded = size ? LoadResource(nullptr, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return false;
  HANDLE file = CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool wrote = WriteFile(file, data, size, &written, nullptr) && written == size;
  return CloseHandle(file) && wrote;
}

bool SetString(const char* keyPath, const char* name, const char* value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const bool ok = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                 static_cast<DWORD>(strlen(value) + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

void RecordCall(const char* directory, const char* commandLine) {
  char path[MAX_PATH], cwd[MAX_PATH] = {};
  if (!Join(path, sizeof path, directory, "\\installer.log")) return;
  GetCurrentDirectoryA(sizeof cwd, cwd);
  HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  char line[4096];
  const int n = _snprintf(line, sizeof line - 1, "installer called with [%s] from [%s]\r\n",
                          commandLine, cwd);
  line[sizeof line - 1] = '\0';
  DWORD written = 0;
  WriteFile(log, line, n < 0 ? static_cast<DWORD>(strlen(line)) : static_cast<DWORD>(n), &written,
            nullptr);
  CloseHandle(log);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  char programFiles[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("ProgramFiles", programFiles, sizeof programFiles);
  if (length == 0 || length >= sizeof programFiles) return 1;
  char directory[MAX_PATH];
  if (!Join(directory, sizeof directory, programFiles, "\\Korvex\\Lumeno")) return 1;
  if (!CreateDirectories(directory)) return 1;
  RecordCall(directory, commandLine);

  char target[MAX_PATH];
  for (const Payload& file : kFiles) {
    char name[64];
    _snprintf(name, sizeof name, "\\%s", file.fileName);
    name[sizeof name - 1] = '\0';
    if (!Join(target, sizeof target, directory, name) || !WriteResource(file.resource, target))
      return 1;
  }
  // A real installer takes a while; so does the demo, so that the status
  // window the bootstrapper shows meanwhile can be seen.
  Sleep(kDemoInstallMs);
  if (!SetString(kProductKey, "InstallPath", directory)) return 1;
  Join(target, sizeof target, directory, "\\Lumeno2.exe");
  if (!SetString(kInstallerKey, "RunLumeno", target)) return 1;
  Join(target, sizeof target, directory, "\\LumenoMediaDetector.exe");
  if (!SetString(kInstallerKey, "RunDetector", target)) return 1;
  return 0;
}
