#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// Watches one process for the program's status window (a visible dialog
// with the status text control) from Start until Stop, on a thread of its
// own. The first sighting records the window's title and text and hands the
// window to onFirstSight, when given; every sighting records the time
// (FixtureClockNow, comparable with other processes' readings). Read the
// results after Stop().
class StatusWindowWatch {
 public:
  using FirstSight = std::function<void(HWND window)>;
  explicit StatusWindowWatch(FirstSight onFirstSight = nullptr);
  ~StatusWindowWatch();
  StatusWindowWatch(const StatusWindowWatch&) = delete;
  StatusWindowWatch& operator=(const StatusWindowWatch&) = delete;

  void Start(DWORD processId);
  void Stop();

  bool seen() const { return seen_; }
  const std::string& title() const { return title_; }
  const std::string& text() const { return text_; }
  unsigned long long lastSeen() const { return lastSeen_; }

 private:
  void Loop();

  FirstSight onFirstSight_;
  DWORD processId_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::atomic<bool> seen_{false};
  std::string title_, text_;
  unsigned long long lastSeen_ = 0;
};
