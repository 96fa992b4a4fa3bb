#include "fake_app_process.h"

#include <sstream>

#include "process.h"
#include "scratch_dir.h"

FakeApp::FakeApp(const std::string& program, const std::string& options) {
  static unsigned counter = 0;
  const std::string eventName = "host-fakeapp-ready-" + std::to_string(GetCurrentProcessId()) +
                                "-" + std::to_string(++counter);
  HANDLE readyEvent = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  if (!readyEvent) return;
  std::string commandLine = Quote(program) + " --ready-event " + eventName + " " + options;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                     nullptr, &startup, &info_)) {
    HANDLE waits[] = {readyEvent, info_.hProcess};
    ready_ = WaitForMultipleObjects(2, waits, FALSE, 15000) == WAIT_OBJECT_0;
  }
  CloseHandle(readyEvent);
}

FakeApp::~FakeApp() {
  if (!info_.hProcess) return;
  if (Running()) {
    TerminateProcess(info_.hProcess, 0xDEAD);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool FakeApp::Running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool FakeApp::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
    return false;
  return GetExitCodeProcess(info_.hProcess, exitCode) != FALSE;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::string text;
  std::vector<std::string> lines;
  if (!ReadWholeFile(path, &text)) return lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

double NowMs() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}
