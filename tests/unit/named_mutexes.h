#pragma once
// Named mutexes for the tests of the mutex events and the walk.
#include <windows.h>

#include <string>

// A mutex name no other test process uses: the process id, a counter and tag.
std::string UniqueMutexName(const char* tag);

// Whether a mutex of that name exists now (opened and closed again at once).
// A failure other than "not found" fails the calling test.
bool MutexExists(const std::string& name);

// Another process (the hold_mutex fixture) holding a named mutex until this
// object is destroyed.
class MutexHolder {
 public:
  enum Access { kOpen, kDenyAll };
  MutexHolder(const std::string& name, Access access);
  ~MutexHolder();
  MutexHolder(const MutexHolder&) = delete;
  MutexHolder& operator=(const MutexHolder&) = delete;

  // True once the other process has created the mutex.
  bool holding() const { return holding_; }

 private:
  HANDLE ready_ = nullptr;
  HANDLE release_ = nullptr;
  PROCESS_INFORMATION process_ = {};
  bool holding_ = false;
};
