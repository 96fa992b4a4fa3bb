#include "ui/status_window.h"

#include <windows.h>

#include <utility>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/window_placement.h"
#include "process.h"
#include "resources/resource_ids.h"
#include "state/process_state.h"

namespace {

// The module whose template, icon and texts the window uses: this program's
// own, unless a test chooses another.
HMODULE gModule = nullptr;

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Waits until done() holds, serving this thread's messages meanwhile: the
// status thread may send messages to the test's own windows.
template <typename Done>
bool WaitUntil(Done done, DWORD timeoutMs = 5000) {
  const Clock::time_point start = Clock::now();
  for (;;) {
    if (done()) return true;
    if (MillisecondsSince(start) > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
}

BOOL CALLBACK MatchStatusWindow(HWND window, LPARAM context) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (process == GetCurrentProcessId() && strcmp(className, "#32770") == 0 &&
      GetDlgItem(window, IDC_STATUS_TEXT)) {
    *reinterpret_cast<HWND*>(context) = window;
    return FALSE;
  }
  return TRUE;
}

// This process's status window, or null.
HWND FindStatusWindow() {
  HWND found = nullptr;
  EnumWindows(MatchStatusWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

int CountOwnThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
  return count;
}

DWORD OwnHandleCount() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

class StatusWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    gModule = GetModuleHandleA(nullptr);
    // Texts below come from this program's US English table.
    ASSERT_EQ(1033, GetUserDefaultLangID()) << "run the tests without LC_ALL";
    ASSERT_EQ(nullptr, FindStatusWindow()) << "a status window of an earlier test is left";
    TakeBaseline();
  }

  // What the process holds before the status window starts; Wine may add a
  // thread of its own when the test makes its first window.
  void TakeBaseline() {
    threadsBefore_ = CountOwnThreads();
    handlesBefore_ = OwnHandleCount();
  }

  // Every window, thread and handle of the status window is gone again.
  void ExpectAllReleased() {
    EXPECT_TRUE(WaitUntil([] { return FindStatusWindow() == nullptr; }));
    EXPECT_TRUE(WaitUntil([&] { return CountOwnThreads() == threadsBefore_; }))
        << "threads: " << CountOwnThreads() << ", before: " << threadsBefore_;
    EXPECT_TRUE(WaitUntil([&] { return OwnHandleCount() == handlesBefore_; }))
        << "handles: " << OwnHandleCount() << ", before: " << handlesBefore_;
  }

  int threadsBefore_ = 0;
  DWORD handlesBefore_ = 0;
};

// A window of the test's own that holds the foreground.
class ForegroundWindow {
 public:
  ForegroundWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "StatusTestForeground";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, "StatusTestForeground", "Foreground", WS_OVERLAPPEDWINDOW,
                              10, 10, 200, 120, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
    if (window_) {
      ShowWindow(window_, SW_SHOW);
      SetForegroundWindow(window_);
    }
  }
  ~ForegroundWindow() {
    if (window_) DestroyWindow(window_);
  }
  HWND window() const { return window_; }

 private:
  HWND window_ = nullptr;
};

TEST_F(StatusWindowTest, ShowsCentredTextsWithoutTakingTheForeground) {
  ForegroundWindow foreground;
  ASSERT_NE(nullptr, foreground.window());
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == foreground.window(); }));
  TakeBaseline();

  UniqueHandle statusEvent = StartStatusWindow(gModule);
  ASSERT_TRUE(statusEvent.valid());
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (window = FindStatusWindow()) && IsWindowVisible(window); }))
      << "no visible status window";

  EXPECT_EQ(L"Test title", WindowText(window));
  EXPECT_EQ(L"Test status (English)", WindowText(GetDlgItem(window, IDC_STATUS_TEXT)));

  RECT frame;
  ASSERT_TRUE(GetWindowRect(window, &frame));
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  EXPECT_EQ(static_cast<int>(std::floor((GetSystemMetrics(SM_CXSCREEN) - width) / 2.0)),
            frame.left);
  EXPECT_EQ(static_cast<int>(std::floor((GetSystemMetrics(SM_CYSCREEN) - height) / 2.0)),
            frame.top);
  // Large enough for the longest translation on two lines.
  EXPECT_GT(width, 300);

  // Shown without activation: the user's window keeps the foreground.
  WaitUntil([] { return false; }, 200);
  EXPECT_EQ(foreground.window(), GetForegroundWindow());

  HICON icon = LoadIconA(gModule, MAKEINTRESOURCEA(IDI_APPLICATION_ICON));
  ASSERT_NE(nullptr, icon);
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(icon), GetClassLongPtrA(window, GCLP_HICON));

  EndStatusWindow(std::move(statusEvent));
  ExpectAllReleased();
}

TEST_F(StatusWindowTest, EndsPromptlyWhenSignalled) {
  UniqueHandle statusEvent = StartStatusWindow(gModule);
  ASSERT_TRUE(statusEvent.valid());
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (window = FindStatusWindow()) && IsWindowVisible(window); }));
  // Let the thread settle into its wait.
  WaitUntil([] { return false; }, 100);

  const Clock::time_point signalled = Clock::now();
  EndStatusWindow(std::move(statusEvent));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 2000));
  const long long elapsed = MillisecondsSince(signalled);
  EXPECT_LT(elapsed, 250) << "window ended " << elapsed << " ms after the signal";
  printf("status window ended %lld ms after the signal\n", elapsed);
  ExpectAllReleased();
}

TEST_F(StatusWindowTest, EndsWhenSignalledBeforeTheThreadWaits) {
  // The caller closes its handle at once; the thread must still see the signal.
  EndStatusWindow(StartStatusWindow(gModule));
  ExpectAllReleased();
}

TEST_F(StatusWindowTest, EndsWhileInputKeepsArriving) {
  UniqueHandle statusEvent = StartStatusWindow(gModule);
  ASSERT_TRUE(statusEvent.valid());
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (window = FindStatusWindow()) && IsWindowVisible(window); }));

  // Several posters, so that messages arrive faster than they are served.
  std::atomic<bool> stop{false};
  std::atomic<long> posted{0};
  std::vector<std::thread> flood;
  for (int i = 0; i < 3; ++i)
    flood.emplace_back([&] {
      while (!stop && PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5))) ++posted;
    });
  WaitUntil([&] { return posted > 3000; }, 2000);

  // Still served: it answers, moves and repaints while the flood goes on.
  DWORD_PTR answer = 0;
  EXPECT_NE(0, SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer));
  EXPECT_TRUE(SetWindowPos(window, nullptr, 40, 30, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
  RECT frame;
  ASSERT_TRUE(GetWindowRect(window, &frame));
  EXPECT_EQ(40, frame.left);
  EXPECT_EQ(30, frame.top);
  EXPECT_NE(0, RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW));

  const Clock::time_point signalled = Clock::now();
  EndStatusWindow(std::move(statusEvent));
  const bool ended = WaitUntil([&] { return !IsWindow(window); }, 3000);
  const long long elapsed = MillisecondsSince(signalled);
  stop = true;
  for (std::thread& poster : flood) poster.join();
  EXPECT_TRUE(ended) << "still open " << elapsed << " ms after the signal, " << posted.load()
                     << " messages posted";
  EXPECT_LT(elapsed, 500) << posted.load() << " messages posted";
  printf("status window ended %lld ms after the signal, %ld messages posted\n", elapsed,
         posted.load());
  ExpectAllReleased();
}

// Runs StatusWindowThread on a thread of the test's own and returns its exit
// code, or 0xDEAD when it did not end within the time limit.
DWORD RunStatusThread(HANDLE statusEvent, DWORD timeoutMs) {
  auto* order = static_cast<StatusWindowOrder*>(malloc(sizeof(StatusWindowOrder)));
  if (!order) return 0xBAD;
  *order = StatusWindowOrder{gModule, statusEvent};
  HANDLE thread = CreateThread(nullptr, 0, StatusWindowThread, order, 0, nullptr);
  if (!thread) return 0xBAD;
  DWORD code = 0xDEAD;
  if (WaitUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, timeoutMs))
    GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  return code;
}

TEST_F(StatusWindowTest, ThreadShowsAndDestroysTheWindowForAnEarlySignal) {
  HANDLE statusEvent = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  ASSERT_NE(nullptr, statusEvent);
  EXPECT_EQ(0u, RunStatusThread(statusEvent, 3000));  // the thread closes the handle
  ExpectAllReleased();
}

TEST_F(StatusWindowTest, ThreadEndsWithMinusOneWithoutATemplate) {
  gModule = GetModuleHandleA("kernel32.dll");  // has no dialog 103
  HANDLE statusEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(nullptr, statusEvent);
  EXPECT_EQ(static_cast<DWORD>(-1), RunStatusThread(statusEvent, 3000));
  ExpectAllReleased();
}

TEST_F(StatusWindowTest, ThreadEndsWhenItCannotWait) {
  // No event to wait on: the wait fails at once, every time.
  EXPECT_EQ(0u, RunStatusThread(nullptr, 3000));
  ExpectAllReleased();
}

INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// Both templates of the shipped program, created for real: each control the
// code addresses exists and is of the kind it expects.
TEST(ShippedResources, DialogTemplatesHaveTheirControls) {
  HMODULE program =
      LoadLibraryExA(BuiltProgram("bootstrapper.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, program);
  // The download dialog's progress bar is a common control.
  HMODULE commonControls = LoadLibraryA("comctl32.dll");
  ASSERT_NE(nullptr, commonControls);
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<InitFn>(
      reinterpret_cast<void*>(GetProcAddress(commonControls, "InitCommonControlsEx")));
  ASSERT_NE(nullptr, init);
  const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
  ASSERT_TRUE(init(&classes));

  HWND status = CreateDialogParamW(program, MAKEINTRESOURCEW(IDD_STATUS), nullptr, PlainDialog, 0);
  ASSERT_NE(nullptr, status) << "GetLastError()=" << GetLastError();
  EXPECT_EQ("Static", ClassOf(GetDlgItem(status, IDC_STATUS_TEXT)));
  EXPECT_FALSE(GetWindowLongA(status, GWL_STYLE) & WS_SYSMENU) << "no close button";
  DestroyWindow(status);

  HWND download =
      CreateDialogParamW(program, MAKEINTRESOURCEW(IDD_DOWNLOAD), nullptr, PlainDialog, 0);
  ASSERT_NE(nullptr, download) << "GetLastError()=" << GetLastError();
  EXPECT_EQ("msctls_progress32", ClassOf(GetDlgItem(download, IDC_DOWNLOAD_PROGRESS)));
  EXPECT_EQ("Static", ClassOf(GetDlgItem(download, IDC_DOWNLOAD_PERCENT)));
  EXPECT_EQ("Static", ClassOf(GetDlgItem(download, IDC_DOWNLOAD_STATUS)));
  EXPECT_EQ("Button", ClassOf(GetDlgItem(download, IDCANCEL)));
  DestroyWindow(download);
  FreeLibrary(program);
}

// Centring: the window is larger or smaller than the screen by an odd amount
// (the halving must round down) or by an even one.
struct CentreCase {
  const char* name;
  int extraWidth;  // window size minus screen size
  int extraHeight;
};

void PrintTo(const CentreCase& c, std::ostream* out) { *out << c.name; }

class CenterOnPrimaryScreenTest : public testing::TestWithParam<CentreCase> {};

TEST_P(CenterOnPrimaryScreenTest, RoundsDown) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const int width = screenWidth + GetParam().extraWidth;
  const int height = screenHeight + GetParam().extraHeight;
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 3, 4, width, height, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(nullptr, window);
  RECT before;
  GetWindowRect(window, &before);
  ASSERT_EQ(width, before.right - before.left);

  EXPECT_TRUE(CenterOnPrimaryScreen(window));
  RECT after;
  GetWindowRect(window, &after);
  EXPECT_EQ(static_cast<int>(std::floor(-GetParam().extraWidth / 2.0)), after.left);
  EXPECT_EQ(static_cast<int>(std::floor(-GetParam().extraHeight / 2.0)), after.top);
  EXPECT_EQ(width, after.right - after.left);
  EXPECT_EQ(height, after.bottom - after.top);
  DestroyWindow(window);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CenterOnPrimaryScreenTest,
    testing::Values(CentreCase{"SmallerByOdd", -723, -567},
                    CentreCase{"SmallerByEven", -722, -566},
                    // A division would round this negative offset toward zero.
                    CentreCase{"LargerByOdd", 77, 33}),
    [](const testing::TestParamInfo<CentreCase>& info) { return info.param.name; });

}  // namespace
