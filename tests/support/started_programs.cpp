#include "started_programs.h"

#include <tlhelp32.h>

#include <algorithm>

namespace {

struct Found {
  std::string name;
  DWORD processId;
  ULONGLONG created;
};

bool NameListed(const char* name, const std::vector<std::string>& exeNames) {
  for (const std::string& wanted : exeNames) {
    if (lstrcmpiA(name, wanted.c_str()) == 0) return true;
  }
  return false;
}

std::vector<Found> FindRunning(const std::vector<std::string>& exeNames) {
  std::vector<Found> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (!NameListed(entry.szExeFile, exeNames)) continue;
    Found process{entry.szExeFile, entry.th32ProcessID, 0};
    HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID);
    if (handle) {
      FILETIME created, exited, kernel, user;
      if (GetProcessTimes(handle, &created, &exited, &kernel, &user))
        process.created = (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) |
                          created.dwLowDateTime;
      CloseHandle(handle);
    }
    found.push_back(process);
  }
  CloseHandle(snapshot);
  std::stable_sort(found.begin(), found.end(),
                   [](const Found& a, const Found& b) { return a.created < b.created; });
  return found;
}

}  // namespace

std::vector<std::string> RunningInStartOrder(const std::vector<std::string>& exeNames) {
  std::vector<std::string> names;
  for (const Found& process : FindRunning(exeNames)) names.push_back(process.name);
  return names;
}

void EndRunning(const std::vector<std::string>& exeNames) {
  for (const Found& process : FindRunning(exeNames)) {
    HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.processId);
    if (!handle) continue;
    TerminateProcess(handle, 0xDEAD);
    WaitForSingleObject(handle, 5000);
    CloseHandle(handle);
  }
}
