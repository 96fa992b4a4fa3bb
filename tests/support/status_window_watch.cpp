#include "status_window_watch.h"

#include "common/fixture_clock.h"
#include "dialog_windows.h"

namespace {

constexpr int kStatusTextControl = 1001;

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window) ||
      !GetDlgItem(window, kStatusTextControl))
    return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

StatusWindowWatch::StatusWindowWatch(FirstSight onFirstSight)
    : onFirstSight_(std::move(onFirstSight)) {}

StatusWindowWatch::~StatusWindowWatch() { Stop(); }

void StatusWindowWatch::Start(DWORD processId) {
  processId_ = processId;
  thread_ = std::thread([this] { Loop(); });
}

void StatusWindowWatch::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void StatusWindowWatch::Loop() {
  while (!stop_) {
    Search search{processId_, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      if (!seen_) {
        title_ = WindowText(search.found);
        text_ = WindowText(GetDlgItem(search.found, kStatusTextControl));
        seen_ = true;
        if (onFirstSight_) onFirstSight_(search.found);
      }
      lastSeen_ = FixtureClockNow();
    }
    Sleep(20);
  }
}
