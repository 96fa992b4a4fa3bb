#include "driver/run_log_start.h"

#include <cstring>

#include "base/run_log.h"
#include "base/system_functions.h"
#include "driver/startup_registry.h"
#include "files/path_directories.h"

void ModuleVersionText(HINSTANCE module, char* buffer, size_t size) {
  FormatBoundedArgs(buffer, size, "unknown");
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  // The fixed part follows the record's three sizes and its key
  // L"VS_VERSION_INFO", 32-bit aligned: its signature, its structure's
  // version, then the file version's two halves.
  const DWORD* fixed = static_cast<const DWORD*>(loaded ? LockResource(loaded) : nullptr);
  if (!fixed || SizeofResource(module, found) < 40 + 16 || fixed[10] != VS_FFI_SIGNATURE) return;
  FormatBoundedArgs(buffer, size, "%u.%u.%u.%u", HIWORD(fixed[12]), LOWORD(fixed[12]),
                    HIWORD(fixed[13]), LOWORD(fixed[13]));
}

void StartRunLog(HINSTANCE module, const char* commandLineTail) {
  PathBuffer path;
  if (!ReadLogSwitch(path) || !OpenRunLog(path)) return;
  char version[24];
  ModuleVersionText(module, version, sizeof version);
  SYSTEMTIME now = {};
  if (const auto systemTime = GetSystemFunction<SystemFunction::kGetSystemTime>())
    systemTime(&now);
  if (ReadOwnPath(path) == 0) strcpy(path, "(own path unknown)");
  BOOL wow64 = FALSE;
  if (const auto isWow64 = GetSystemFunction<SystemFunction::kIsWow64Process>())
    isWow64(GetCurrentProcess(), &wow64);
  const DWORD windows = GetVersion();
  LogLine("%04u-%02u-%02uT%02u:%02u:%02uZ %s version %s, process %lu, Windows %u.%u.%u, "
          "32-bit on 64-bit: %s, command line: %s",
          now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, path, version,
          GetCurrentProcessId(), LOBYTE(windows), HIBYTE(windows), HIWORD(windows),
          wow64 ? "yes" : "no", commandLineTail);
}
