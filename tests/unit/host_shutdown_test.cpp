// ShutdownLumeno against real windows and mutexes of the fake installed
// application. Windows are found by class and title across the whole display,
// so these tests hold the display lock.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "fake_app_process.h"
#include "host/app_windows.h"
#include "host/mutex_wait.h"
#include "host/shutdown.h"
#include "process.h"
#include "scratch_dir.h"

namespace {

using Lines = std::vector<std::string>;

constexpr char kMainMark[] = "4C4B6332";
constexpr char kViewerMark[] = "4C4B7331";

std::string Window(const std::string& className, const std::string& title, const char* mark) {
  return " --window " + className + " " + Quote(title) + " " + mark;
}

double TimedShutdown() {
  const double start = NowMs();
  ShutdownLumeno();
  return NowMs() - start;
}

TEST(ShutdownLumeno, NothingRunningReturnsWithoutSleeping) {
  const double elapsed = TimedShutdown();
  EXPECT_LT(elapsed, 1000.0);
  EXPECT_EQ(0, MutexWaitProbes());
  printf("nothing running: ShutdownLumeno took %.1f ms\n", elapsed);
}

// One window per case, whose WM_CLOSE is only logged, so that every message
// sent shows in the log (a window that really closed would not get WM_DESTROY).
struct WindowCase {
  const char* name;
  const char* className;
  const char* title;
  const char* mark;
  Lines expected;
};
void PrintTo(const WindowCase& c, std::ostream* out) { *out << c.name; }

class ShutdownWindowTest : public testing::TestWithParam<WindowCase> {};

TEST_P(ShutdownWindowTest, SendsCloseMessagesOnlyToTheApplicationsWindows) {
  const WindowCase& c = GetParam();
  ScratchDir dir("shutwin");
  const std::string log = dir.path() + "messages.log";
  FakeApp app(BuiltProgram("fake_app.exe"), Window(c.className, c.title, c.mark) +
                                               " --on-close ignore --log " + Quote(log));
  ASSERT_TRUE(app.ready());
  ShutdownLumeno();
  // SendMessage semantics: everything sent has been handled on return.
  EXPECT_EQ(c.expected, ReadLines(log));
  EXPECT_TRUE(app.Running()) << "fake_app.exe carries none of the application's names";
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ShutdownWindowTest,
    testing::Values(
        WindowCase{"MainByTitle", "lmWindow", "Lumeno2", "0", {"Lumeno2: WM_CLOSE"}},
        WindowCase{"MainByMark", "lmWindow", "Untitled", kMainMark, {"Untitled: WM_CLOSE"}},
        WindowCase{"OtherMarkIgnored", "lmWindow", "Untitled", "4C4B6333", {}},
        WindowCase{"LongerClassIgnored", "lmWindowX", "Untitled", kMainMark, {}},
        WindowCase{"LongerClassWithTitleIgnored", "lmWindowX", "Lumeno2", kMainMark, {}},
        // Enumeration compares class names case-sensitively.
        WindowCase{"LowerCaseClassIgnored", "lmwindow", "Untitled", kMainMark, {}},
        WindowCase{"Detector",
                   "lmWindow",
                   "Lumeno Media Detector",
                   "0",
                   {"Lumeno Media Detector: WM_CLOSE", "Lumeno Media Detector: WM_DESTROY"}},
        // The detector is found by its title only.
        WindowCase{"DetectorTitleOtherClassIgnored", "lmWindowX", "Lumeno Media Detector", "0", {}},
        WindowCase{"ViewerByTitle",
                   "lmWindow",
                   "Lumeno Photo Viewer",
                   "0",
                   {"Lumeno Photo Viewer: WM_CLOSE", "Lumeno Photo Viewer: WM_DESTROY"}},
        WindowCase{"ViewerByMark",
                   "lmWindow",
                   "Holiday.jpg",
                   kViewerMark,
                   {"Holiday.jpg: WM_CLOSE", "Holiday.jpg: WM_DESTROY"}},
        WindowCase{"ViewerMarkOtherClassIgnored", "lmWindowX", "Holiday.jpg", kViewerMark, {}}),
    [](const testing::TestParamInfo<WindowCase>& info) { return info.param.name; });

// Windows that really close, each taking its time over WM_CLOSE: every window
// has finished with it before the next is asked.
TEST(ShutdownLumeno, ClosesMainDetectorViewerInOrderEachBeforeTheNext) {
  ScratchDir dir("shutorder");
  const std::string log = dir.path() + "messages.log";
  FakeApp app(BuiltProgram("fake_app.exe"),
              Window("lmWindow", "Photo Viewer", kViewerMark) +
                  Window("lmWindow", "Lumeno Media Detector", "0") +
                  Window("lmWindow", "Library", kMainMark) +
                  " --close-delay-ms 600 --log " + Quote(log));
  ASSERT_TRUE(app.ready());
  const double elapsed = TimedShutdown();
  EXPECT_EQ((Lines{"Library: WM_CLOSE", "Library: WM_DESTROY",
                   "Lumeno Media Detector: WM_CLOSE", "Lumeno Media Detector: WM_DESTROY",
                   "Photo Viewer: WM_CLOSE", "Photo Viewer: WM_DESTROY"}),
            ReadLines(log));
  EXPECT_GE(elapsed, 1800.0) << "three handlers of 600 ms each were waited for";
  DWORD exitCode = 0xFFFFFFFF;
  EXPECT_TRUE(app.WaitForExit(5000, &exitCode));
  EXPECT_EQ(0u, exitCode) << "closed by itself, not terminated";
}

// The mutex stage's five sleeps are spent on the first mutex; the other two
// are probed once each: 6 + 1 + 1 probes.
TEST(ShutdownLumeno, MutexHeldLongerSpendsTheSharedBudgetOfFiveSeconds) {
  FakeApp app(BuiltProgram("fake_app.exe"),
              "--mutex Lumeno2 --mutex \"Lumeno Media Detector\" --mutex Brimlet --hold-ms 10000");
  ASSERT_TRUE(app.ready());
  const double elapsed = TimedShutdown();
  EXPECT_GE(elapsed, 4900.0);
  EXPECT_LT(elapsed, 6500.0);
  EXPECT_EQ(8, MutexWaitProbes());
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "Lumeno2");
  EXPECT_NE(nullptr, mutex) << "the stage gave up while the mutex still existed";
  if (mutex) CloseHandle(mutex);
  printf("mutex held 10 s: ShutdownLumeno took %.0f ms\n", elapsed);
}

// The application closes on WM_CLOSE and its mutexes go with it about 1.5 s
// later: the mutex stage ends then, well before its five seconds.
TEST(ShutdownLumeno, MutexStageEndsWhenTheClosingApplicationReleasesThem) {
  FakeApp app(BuiltProgram("fake_app.exe"), Window("lmWindow", "Lumeno2", "0") +
                                               " --mutex Lumeno2 --mutex Brimlet --linger-ms 1500");
  ASSERT_TRUE(app.ready());
  const double elapsed = TimedShutdown();
  EXPECT_GE(elapsed, 1000.0) << "the stage should have waited for the mutex";
  EXPECT_LT(elapsed, 3500.0);
  EXPECT_GE(MutexWaitProbes(), 2);
  EXPECT_LE(MutexWaitProbes(), 3);
  DWORD exitCode = 0xFFFFFFFF;
  EXPECT_TRUE(app.WaitForExit(5000, &exitCode));
  EXPECT_EQ(0u, exitCode);
  printf("mutexes released on close: ShutdownLumeno took %.0f ms\n", elapsed);
}

// A main window whose thread never processes messages costs at most one
// message time-out; the process, named like the application, is then
// terminated by the last stage.
TEST(ShutdownLumeno, HungWindowDoesNotHangTheShutdown) {
  ScratchDir dir("shuthung");
  const std::string program = dir.path() + "Lumeno2.exe";
  ASSERT_TRUE(CopyFileA(BuiltProgram("fake_app.exe").c_str(), program.c_str(), TRUE));
  FakeApp app(program, Window("lmWindow", "Lumeno2", "0") + " --hang");
  ASSERT_TRUE(app.ready());
  const double elapsed = TimedShutdown();
  EXPECT_LT(elapsed, kWindowMessageTimeoutMs + 1500.0);
  DWORD exitCode = 0;
  EXPECT_TRUE(app.WaitForExit(5000, &exitCode));
  EXPECT_EQ(1u, exitCode) << "terminated by the shutdown";
  printf("hung window: ShutdownLumeno took %.0f ms\n", elapsed);
}

}  // namespace
