#pragma once
#include <windows.h>

#include <string>
#include <vector>

// One running copy of the fake installed application (tests/fixtures/fake_app),
// started from the given executable with the given options and waited for
// until its windows and mutexes exist. Terminated if still running when
// destroyed.
class FakeApp {
 public:
  FakeApp(const std::string& program, const std::string& options);
  ~FakeApp();
  FakeApp(const FakeApp&) = delete;
  FakeApp& operator=(const FakeApp&) = delete;

  bool ready() const { return ready_; }
  bool Running() const;
  // True when the process ended within timeoutMs; *exitCode gets its code.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);

 private:
  PROCESS_INFORMATION info_ = {};
  bool ready_ = false;
};

// Lines of a text file (empty when it does not exist).
std::vector<std::string> ReadLines(const std::string& path);

// Milliseconds since an arbitrary start, for measuring.
double NowMs();
