#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Answers the "ERROR" message boxes of one process: records the text of each,
// in order, and presses OK so the process goes on. Runs on its own thread
// from Watch() until destroyed.
class ErrorBoxAnswerer {
 public:
  ErrorBoxAnswerer() = default;
  ~ErrorBoxAnswerer();
  ErrorBoxAnswerer(const ErrorBoxAnswerer&) = delete;
  ErrorBoxAnswerer& operator=(const ErrorBoxAnswerer&) = delete;

  void Watch(DWORD processId);
  void Stop();
  std::vector<std::string> texts();

  // For RunProcess's onStarted: context is an ErrorBoxAnswerer.
  static void StartWatching(DWORD processId, void* context);

 private:
  void Loop();
  DWORD processId_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

// A visible "ERROR" message box of the process, or null.
HWND FindVisibleErrorBox(DWORD processId);

// The text of a message box window (its longest static control).
std::string MessageBoxText(HWND box);
