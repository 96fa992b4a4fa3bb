// ShutdownLumeno against real windows and mutexes of the fake installed
// application. Windows are found by class and title across the whole display,
// so these tests hold the display lock.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "base/pause.h"
#include "base/unique_handle.h"
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

// Runs the shutdown and returns how long it took (printed, not judged: the
// tests count pauses and probes instead).
// How often the last shutdown's mutex stage found a mutex still there.
int gMutexProbes = 0;
int MutexWaitProbes() { return gMutexProbes; }

double TimedShutdown() {
  ResetPauses();
  const double start = NowMs();
  gMutexProbes = ShutdownLumeno();
  return NowMs() - start;
}

// A copy of the fake application under the application's own name, so that
// the last stage terminates it if the window stage gave up on it.
std::string NamedLikeTheApplication(const ScratchDir& dir) {
  const std::string program = dir.path() + "Lumeno2.exe";
  EXPECT_TRUE(CopyFileA(BuiltProgram("fake_app.exe").c_str(), program.c_str(), TRUE));
  return program;
}

TEST(ShutdownLumeno, NothingRunningReturnsWithoutSleeping) {
  const double elapsed = TimedShutdown();
  EXPECT_EQ(0, MutexWaitProbes());
  EXPECT_EQ(0, PausesTaken());
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
// has finished with it before the next is asked, and all have when the
// shutdown returns (the log is read right then).
TEST(ShutdownLumeno, ClosesMainDetectorViewerInOrderEachBeforeTheNext) {
  ScratchDir dir("shutorder");
  const std::string log = dir.path() + "messages.log";
  FakeApp app(BuiltProgram("fake_app.exe"),
              Window("lmWindow", "Photo Viewer", kViewerMark) +
                  Window("lmWindow", "Lumeno Media Detector", "0") +
                  Window("lmWindow", "Library", kMainMark) +
                  " --close-delay-ms 600 --log " + Quote(log));
  ASSERT_TRUE(app.ready());
  TimedShutdown();
  EXPECT_EQ((Lines{"Library: WM_CLOSE", "Library: WM_DESTROY",
                   "Lumeno Media Detector: WM_CLOSE", "Lumeno Media Detector: WM_DESTROY",
                   "Photo Viewer: WM_CLOSE", "Photo Viewer: WM_DESTROY"}),
            ReadLines(log));
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
  EXPECT_EQ(8, MutexWaitProbes());
  EXPECT_EQ(5, PausesTaken()) << "one second after each of the first five probes";
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "Lumeno2");
  EXPECT_NE(nullptr, mutex) << "the stage gave up while the mutex still existed";
  if (mutex) CloseHandle(mutex);
  printf("mutex held 10 s: ShutdownLumeno took %.0f ms\n", elapsed);
}

// The application closes on WM_CLOSE and its mutexes go with it about 1.5 s
// later: the mutex stage ends then, before its budget is spent.
TEST(ShutdownLumeno, MutexStageEndsWhenTheClosingApplicationReleasesThem) {
  FakeApp app(BuiltProgram("fake_app.exe"), Window("lmWindow", "Lumeno2", "0") +
                                               " --mutex Lumeno2 --mutex Brimlet --linger-ms 1500");
  ASSERT_TRUE(app.ready());
  const double elapsed = TimedShutdown();
  EXPECT_GE(PausesTaken(), 1) << "the stage should have waited for the mutex";
  EXPECT_LT(PausesTaken(), 5) << "the stage spent its budget instead of seeing the mutex go";
  EXPECT_EQ(PausesTaken(), MutexWaitProbes()) << "each probe that found the mutex was followed by a pause";
  EXPECT_FALSE(UniqueHandle(OpenMutexA(SYNCHRONIZE, FALSE, "Lumeno2")).valid());
  DWORD exitCode = 0xFFFFFFFF;
  EXPECT_TRUE(app.WaitForExit(5000, &exitCode));
  EXPECT_EQ(0u, exitCode);
  printf("mutexes released on close: ShutdownLumeno took %.0f ms\n", elapsed);
}

// A main window whose thread never takes a message is given up as soon as the
// platform deems it hung; the process, named like the application, is then
// terminated by the last stage.
TEST(ShutdownLumeno, HungWindowIsGivenUpAndItsProcessTerminated) {
  ScratchDir dir("shuthung");
  FakeApp app(NamedLikeTheApplication(dir), Window("lmWindow", "Lumeno2", "0") + " --hang");
  ASSERT_TRUE(app.ready());
  const double elapsed = TimedShutdown();
  DWORD exitCode = 0;
  EXPECT_TRUE(app.WaitForExit(5000, &exitCode));
  EXPECT_EQ(1u, exitCode) << "terminated by the shutdown";
  printf("hung window: ShutdownLumeno took %.0f ms\n", elapsed);
}

// A window that asks its user inside WM_CLOSE ("Save changes?") keeps taking
// messages: it is waited for well past the five seconds after which Windows
// would call it hung, closes by itself and is not terminated.
TEST(ShutdownLumeno, WindowAskingItsUserIsWaitedFor) {
  ScratchDir dir("shutprompt");
  const std::string log = dir.path() + "messages.log";
  FakeApp app(NamedLikeTheApplication(dir), Window("lmWindow", "Lumeno2", "0") +
                                                " --prompt-ms 7000 --log " + Quote(log));
  ASSERT_TRUE(app.ready());
  const double elapsed = TimedShutdown();
  EXPECT_EQ((Lines{"Lumeno2: WM_CLOSE", "Lumeno2: prompt answered", "Lumeno2: WM_DESTROY"}),
            ReadLines(log));
  DWORD exitCode = 0xFFFFFFFF;
  EXPECT_TRUE(app.WaitForExit(5000, &exitCode));
  EXPECT_EQ(0u, exitCode) << "closed by itself, not terminated";
  printf("window asking its user for 7 s: ShutdownLumeno took %.0f ms\n", elapsed);
}

// How one sent message ends, against a window in each state.
struct ReplyCase {
  const char* name;
  const char* options;
  DWORD limitMs;
  WindowReply expected;
  Lines log;
};
void PrintTo(const ReplyCase& c, std::ostream* out) { *out << c.name; }

class SendAndWaitTest : public testing::TestWithParam<ReplyCase> {};

TEST_P(SendAndWaitTest, EndsAsTheWindowBehaves) {
  const ReplyCase& c = GetParam();
  ScratchDir dir("reply");
  const std::string log = dir.path() + "messages.log";
  FakeApp app(BuiltProgram("fake_app.exe"),
              Window("lmWindow", "Lumeno2", "0") + " " + c.options + " --log " + Quote(log));
  ASSERT_TRUE(app.ready());
  HWND window = FindWindowA("lmWindow", "Lumeno2");
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(c.expected, SendAndWait(window, WM_CLOSE, c.limitMs));
  EXPECT_EQ(c.log, ReadLines(log));
}

INSTANTIATE_TEST_SUITE_P(
    Windows, SendAndWaitTest,
    testing::Values(
        ReplyCase{"Handled", "--on-close ignore", kResponsiveWindowLimitMs, WindowReply::kHandled,
                  {"Lumeno2: WM_CLOSE"}},
        ReplyCase{"Hung", "--hang", kResponsiveWindowLimitMs, WindowReply::kHung, {}},
        // Still answering when the time is up: the prompt is left to its user.
        ReplyCase{"AnsweringPastTheLimit", "--prompt-ms 30000 --on-close ignore", 1500,
                  WindowReply::kTimedOut, {"Lumeno2: WM_CLOSE"}}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return info.param.name; });

TEST(SendAndWait, WindowThatIsGoneIsNotWaitedFor) {
  HWND window = CreateWindowA("STATIC", "gone", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  DestroyWindow(window);
  EXPECT_EQ(WindowReply::kGone, SendAndWait(window, WM_CLOSE, kResponsiveWindowLimitMs));
}

}  // namespace
