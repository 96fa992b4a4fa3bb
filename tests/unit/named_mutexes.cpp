#include "named_mutexes.h"

#include <gtest/gtest.h>

#include "process.h"

std::string UniqueMutexName(const char* tag) {
  static int counter = 0;
  return "core_test_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter) +
         "_" + tag;
}

bool MutexExists(const std::string& name) {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
  const DWORD error = GetLastError();
  if (mutex) {
    CloseHandle(mutex);
    return true;
  }
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), error) << "OpenMutexA(" << name << ")";
  return false;
}

MutexHolder::MutexHolder(const std::string& name, Access access) {
  const std::string readyName = name + "_ready";
  const std::string releaseName = name + "_release";
  ready_ = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
  release_ = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
  if (!ready_ || !release_) {
    ADD_FAILURE() << "CreateEventA failed, GetLastError()=" << GetLastError();
    return;
  }
  std::string commandLine = Quote(BuiltProgram("hold_mutex.exe")) + " " + name +
                            (access == kDenyAll ? " deny-all " : " open ") + readyName + " " +
                            releaseName;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process_)) {
    ADD_FAILURE() << "CreateProcessA(" << commandLine << ") failed, GetLastError()="
                  << GetLastError();
    return;
  }
  HANDLE waitFor[] = {ready_, process_.hProcess};
  const DWORD woke = WaitForMultipleObjects(2, waitFor, FALSE, 20000);
  holding_ = woke == WAIT_OBJECT_0;
  if (!holding_) {
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    ADD_FAILURE() << "hold_mutex did not take " << name << ": wait " << woke << ", exit code "
                  << code;
  }
}

MutexHolder::~MutexHolder() {
  if (release_) SetEvent(release_);
  if (process_.hProcess) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process_.hProcess, 20000));
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  if (ready_) CloseHandle(ready_);
  if (release_) CloseHandle(release_);
}
