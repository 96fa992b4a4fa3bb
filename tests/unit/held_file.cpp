#include "held_file.h"

#include "process.h"

HeldFile::HeldFile(const std::string& path, Share share) {
  static unsigned counter = 0;
  const std::string tag =
      std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
  const std::string readyName = "held_file_ready_" + tag;
  const std::string releaseName = "held_file_release_" + tag;
  ready_ = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
  release_ = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
  if (!ready_ || !release_) return;

  const char* mode = share == Share::kRead     ? "read"
                     : share == Share::kReader ? "reader"
                     : share == Share::kAll    ? "all"
                                               : "none";
  std::string commandLine = Quote(BuiltProgram("file_holder.exe")) + " " + Quote(path) + " " +
                            mode + " " + readyName + " " + releaseName;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  // Ready, or the holder ended because it could not open the file.
  HANDLE either[] = {ready_, process_};
  held_ = WaitForMultipleObjects(2, either, FALSE, 30000) == WAIT_OBJECT_0;
}

void HeldFile::Release() {
  if (release_) SetEvent(release_);
  if (process_) {
    WaitForSingleObject(process_, 30000);
    CloseHandle(process_);
    process_ = nullptr;
  }
  held_ = false;
}

HeldFile::~HeldFile() {
  Release();
  if (ready_) CloseHandle(ready_);
  if (release_) CloseHandle(release_);
}
