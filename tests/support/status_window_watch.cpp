#include "status_window_watch.h"

#include "common/fixture_clock.h"
#include "dialog_windows.h"

namespace {
constexpr int kStatusTextControl = 1001;
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
    if (HWND found = FindDialog(processId_, kStatusTextControl)) {
      if (!seen_) {
        title_ = WindowText(found);
        text_ = DialogItemText(found, kStatusTextControl);
        seen_ = true;
        if (onFirstSight_) onFirstSight_(found);
      }
      lastSeen_ = FixtureClockNow();
    }
    Sleep(20);
  }
}
