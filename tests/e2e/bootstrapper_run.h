#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "registry_guard.h"

// Helpers of the start-up scenarios: bootstrapper variants with a payload of
// the test's own, and ways to hold a running one at a known point.

// Writes to path a copy of the built bootstrapper.exe whose PAYLOAD/XML is
// payload, or which has none when payload is null. Fails the test on error.
void PackBootstrapper(const std::string& path, const std::string* payload);

// Answers the "ERROR" message boxes of a process until it ends (at most
// timeoutMs): calls inspect with each text while the box is still up, then
// presses OK. Returns the texts in order.
std::vector<std::string> AnswerErrorBoxes(DWORD processId, DWORD timeoutMs,
                                          const std::function<void(const std::string&)>& inspect);

// Runs commandLine with a one-byte pipe as its standard output, so that its
// first write waits until this side reads. whileHeld runs while the child is
// held in that write.
struct HeldRun {
  bool started = false;
  bool held = false;
  bool timedOut = false;
  DWORD exitCode = 0;
  std::string output;
};
HeldRun RunHeldAtFirstOutput(const std::string& commandLine, DWORD timeoutMs,
                             const std::function<void()>& whileHeld);

// Whether the X tools that TakeScreenshot runs (as Unix programs, which
// Wine can start) are there.
bool ScreenshotToolsPresent();

// Writes a PNG of the X screen to pngPath (a Unix path). With
// virtualDesktop ("1023x767"), only that Wine virtual desktop at the screen's
// top left corner, trimmed to its windows with a margin of its background.
// False with the reason on failure.
bool TakeScreenshot(const std::string& pngPath, std::string* error,
                    const std::string& virtualDesktop = std::string());

// Wine waits up to 2 s for a window manager when a managed window closes, and
// Xvfb has none: while this lives, the windows of programs with this file
// name (message boxes, the status window) are unmanaged (a Wine setting for
// that name only; Windows ignores it).
class UnmanagedWindows {
 public:
  explicit UnmanagedWindows(const std::string& programFileName);
  ~UnmanagedWindows();
  UnmanagedWindows(const UnmanagedWindows&) = delete;
  UnmanagedWindows& operator=(const UnmanagedWindows&) = delete;

 private:
  std::string appKey_;
  bool existed_ = false;
  std::unique_ptr<RegistryValueGuard> guard_;
};
