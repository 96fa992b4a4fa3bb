#include "bootstrapper_run.h"

#include <gtest/gtest.h>

#include "base/unique_handle.h"
#include "message_boxes.h"
#include "process.h"
#include "resource_pack.h"

void PackBootstrapper(const std::string& path, const std::string* payload) {
  ResourceEdit edit{ResourceName{"PAYLOAD", "XML"}, payload == nullptr,
                    payload ? *payload : std::string()};
  std::string error;
  ASSERT_TRUE(WriteEditedCopy(BuiltProgram("bootstrapper.exe"), path, {edit}, &error)) << error;
}

std::vector<std::string> AnswerErrorBoxes(DWORD processId, DWORD timeoutMs,
                                          const std::function<void(const std::string&)>& inspect) {
  std::vector<std::string> texts;
  const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  EXPECT_NE(nullptr, process.get()) << "OpenProcess failed: " << GetLastError();
  if (!process.get()) return texts;
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (WaitForSingleObject(process.get(), 10) == WAIT_TIMEOUT && GetTickCount64() < deadline) {
    HWND box = FindVisibleErrorBox(processId);
    if (!box) continue;
    texts.push_back(MessageBoxText(box));
    inspect(texts.back());
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    while (IsWindow(box) && GetTickCount64() < deadline) Sleep(10);
  }
  return texts;
}

HeldRun RunHeldAtFirstOutput(const std::string& commandLine, DWORD timeoutMs,
                             const std::function<void()>& whileHeld) {
  HeldRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1)) return run;
  const UniqueHandle reader(readEnd);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info = {};
  std::string line = commandLine;
  run.started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &info) != FALSE;
  CloseHandle(writeEnd);
  if (!run.started) return run;
  const UniqueHandle process(info.hProcess);
  CloseHandle(info.hThread);

  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  DWORD available = 0;
  while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available == 0 &&
         WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT && GetTickCount64() < deadline)
    Sleep(5);
  // Data waiting while the child still runs: it is inside that write.
  run.held = available > 0 && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
  if (run.held) whileHeld();

  run.timedOut = WaitWhileDraining(info.hProcess, readEnd, deadline, &run.output);
  GetExitCodeProcess(info.hProcess, &run.exitCode);
  return run;
}

UnmanagedWindows::UnmanagedWindows(const std::string& programFileName)
    : appKey_("Software\\Wine\\AppDefaults\\" + programFileName) {
  HKEY key;
  existed_ = RegOpenKeyExA(HKEY_CURRENT_USER, appKey_.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (existed_) RegCloseKey(key);
  const std::string driverKey = appKey_ + "\\X11 Driver";
  guard_ = std::make_unique<RegistryValueGuard>(HKEY_CURRENT_USER, driverKey, "Managed");
  EXPECT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_CURRENT_USER, driverKey, "Managed", "N"));
}

UnmanagedWindows::~UnmanagedWindows() {
  guard_.reset();
  if (!existed_) DeleteRegistryTree(HKEY_CURRENT_USER, appKey_);
}
