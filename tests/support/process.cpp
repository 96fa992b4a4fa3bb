#include "process.h"

namespace {
// Appends whatever the pipe holds now, without blocking.
void DrainPipe(HANDLE pipe, std::string* output) {
  DWORD available = 0;
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[4096];
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &got,
                  nullptr) || got == 0)
      return;
    output->append(buffer, got);
  }
}
}  // namespace

ProcessResult RunProcess(const std::string& commandLine, DWORD timeoutMs,
                         const std::string& workingDirectory,
                         void (*onStarted)(DWORD processId, void* context), void* context) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info = {};
  std::string mutableLine = commandLine;
  result.started = CreateProcessA(nullptr, &mutableLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  workingDirectory.empty() ? nullptr : workingDirectory.c_str(),
                                  &startup, &info) != FALSE;
  CloseHandle(writeEnd);
  if (!result.started) {
    CloseHandle(readEnd);
    return result;
  }
  result.processId = info.dwProcessId;

  if (onStarted) onStarted(info.dwProcessId, context);
  result.timedOut =
      WaitWhileDraining(info.hProcess, readEnd, GetTickCount64() + timeoutMs, &result.output);
  GetExitCodeProcess(info.hProcess, &result.exitCode);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  CloseHandle(readEnd);
  return result;
}

bool WaitWhileDraining(HANDLE process, HANDLE pipe, ULONGLONG deadline, std::string* output) {
  bool timedOut = false;
  for (;;) {
    DrainPipe(pipe, output);
    if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0) break;
    if (GetTickCount64() >= deadline) {
      timedOut = true;
      TerminateProcess(process, 0xDEAD);
      WaitForSingleObject(process, 5000);
      break;
    }
  }
  DrainPipe(pipe, output);
  return timedOut;
}

std::string ModuleDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, length);
  return dir.substr(0, dir.find_last_of('\\') + 1);
}

std::string BuiltProgram(const char* fileName) { return ModuleDirectory() + fileName; }

std::string Quote(const std::string& text) { return "\"" + text + "\""; }
