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

namespace {
// The Unix file system, seen from Wine on drive Z:.
std::string OnDriveZ(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}
}  // namespace

bool ScreenshotToolsPresent() {
  for (const char* tool : {"/bin/sh", "/usr/bin/xwd", "/usr/bin/convert"})
    if (GetFileAttributesA(OnDriveZ(tool).c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  return true;
}

// Wine's handle to a Unix program does not follow it to its end: the script
// moves its finished picture into place and this waits for that name.
bool TakeScreenshot(const std::string& pngPath, std::string* error,
                    const std::string& virtualDesktop) {
  const std::string directory = pngPath.substr(0, pngPath.find_last_of('/'));
  const std::string part = pngPath + ".part";
  DeleteFileA(OnDriveZ(pngPath).c_str());
  std::string script = "/bin/mkdir -p '" + directory + "' && /usr/bin/xwd -root -silent | ";
  if (virtualDesktop.empty()) {
    script += "/usr/bin/convert xwd:- png:'" + part + "'";
  } else {
    script += "/usr/bin/convert xwd:- -crop " + virtualDesktop + "+0+0 +repage png:'" + part +
              ".png' && bg=$(/usr/bin/convert '" + part +
              ".png' -format '%[pixel:p{0,0}]' info:) && /usr/bin/convert '" + part +
              ".png' -trim +repage -bordercolor \\\"$bg\\\" -border 24 png:'" + part +
              "' && /bin/rm -f '" + part + ".png'";
  }
  std::string commandLine = "/bin/sh -c \"" + script + " && /bin/mv '" + part + "' '" + pngPath +
                            "'\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    *error = "CreateProcess of /bin/sh failed: " + std::to_string(GetLastError());
    return false;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  const ULONGLONG deadline = GetTickCount64() + 15000;
  while (GetFileAttributesA(OnDriveZ(pngPath).c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() >= deadline) {
      *error = "no picture at " + pngPath + " after 15 s";
      return false;
    }
    Sleep(20);
  }
  return true;
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
