// RUN end to end: bootstrapper variants carrying child_program.exe as the
// installer LUMENO2_ADMIN.EXE, run as real processes against the
// update-service stand-in and a fake running application. Each test points
// TMP at a private directory; the bootstrapper inherits it, so the temporary
// programs it writes are exactly what the test finds there.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bootstrapper_run.h"
#include "child_program/child_orders.h"
#include "fake_app_process.h"
#include "message_boxes.h"
#include "process.h"
#include "registry_guard.h"
#include "resource_pack.h"
#include "scratch_dir.h"
#include "status_window_watch.h"
#include "update_service/service_control.h"

namespace {

constexpr char kSubkey[] = "SOFTWARE\\BootstrapperTests\\RunE2E";
constexpr char kInstallKey[] = "InstallPath";
constexpr char kVariantName[] = "run_e2e_setup.exe";
constexpr DWORD kRunLimitMs = 30000;
constexpr DWORD kFailedWalk = 0xFFFFFFFF;  // -1

std::string Payload(const std::string& runAttributes) {
  return std::string("<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>") + kSubkey +
         "</subkey><installkey>" + kInstallKey + "</installkey><event><type>RUN</type>" +
         runAttributes + "</event></payload>";
}

// What the status window's first sighting records: a picture of the screen,
// which shows the window only if it was still up once taken.
struct StatusPicture {
  bool whileUp = false;
  std::string error;
};

StatusWindowWatch::FirstSight TakeStatusPicture(const std::string& path, StatusPicture* picture) {
  if (path.empty()) return nullptr;
  return [path, picture](HWND window) {
    picture->whileUp = TakeScreenshot(path, &picture->error) && IsWindowVisible(window);
    if (picture->error.empty() && !picture->whileUp)
      picture->error = "the window was gone before the picture was taken";
  };
}

unsigned long long LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

unsigned long long StartedField(const FixtureRecord& run) {
  return std::stoull("0" + Field(run, "started"));
}

class RunScenario : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr)) << temp_;
    char saved[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    if (length > 0 && length < MAX_PATH) savedTmp_ = std::make_unique<std::string>(saved);
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    child_ = std::make_unique<ChildOrders>(dir_.path() + "child.log");
    // As the real installer does; the RUN event checks it after a shell launch.
    child_->WriteInstallPath(kSubkey, kInstallKey, dir_.path() + "app");
  }

  void TearDown() override {
    child_.reset();
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    SetEnvironmentVariableA("TMP", savedTmp_ ? savedTmp_->c_str() : nullptr);
  }

  // A copy of the built bootstrapper with this payload and the child program
  // (or these bytes) as its installer.
  std::string Variant(const std::string& payload, const char* fileName = kVariantName,
                      const std::string* installerBytes = nullptr) {
    std::string installer;
    if (installerBytes) {
      installer = *installerBytes;
    } else {
      EXPECT_TRUE(ReadWholeFile(BuiltProgram("child_program.exe"), &installer));
    }
    const std::string path = dir_.path() + fileName;
    std::string error;
    EXPECT_TRUE(WriteEditedCopy(BuiltProgram("bootstrapper.exe"), path,
                                {{ResourceName{"PAYLOAD", "XML"}, false, payload},
                                 {ResourceName{"LUMENO2_ADMIN", "EXE"}, false, installer}},
                                &error))
        << error;
    return path;
  }

  static ProcessResult Run(const std::string& program, const std::string& arguments,
                           StatusWindowWatch* watch, ErrorBoxAnswerer* boxes = nullptr) {
    struct Observers {
      StatusWindowWatch* watch;
      ErrorBoxAnswerer* boxes;
    } observers{watch, boxes};
    const ProcessResult result = RunProcess(
        Quote(program) + (arguments.empty() ? "" : " " + arguments), kRunLimitMs, std::string(),
        [](DWORD processId, void* context) {
          auto* o = static_cast<Observers*>(context);
          if (o->watch) o->watch->Start(processId);
          if (o->boxes) o->boxes->Watch(processId);
        },
        &observers);
    if (watch) watch->Stop();
    if (boxes) boxes->Stop();
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    return result;
  }

  void DebugOn() {
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug", "1"));
  }

  // The application's key: the service launch is tried only on a machine
  // where the application is installed.
  void ApplicationInstalled() {
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kSubkey, "Version", "2"));
  }

  UnmanagedWindows unmanaged_{kVariantName};
  RegistryValueGuard debugGuard_{HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug"};
  ScratchDir dir_{"rune2e"};
  std::string temp_ = dir_.path() + "temp\\";
  std::unique_ptr<std::string> savedTmp_;
  std::unique_ptr<ChildOrders> child_;
};

TEST_F(RunScenario, ServiceLaunchShowsTheStatusWindowWhileTheInstallerRuns) {
  ServiceOrdersGuard service(dir_.path() + "service.log");
  ApplicationInstalled();
  child_->SleepMs(1500);
  const std::string program = Variant(Payload(
      "<src>LUMENO2_ADMIN.EXE</src><cmdline>1</cmdline><selfcmdline>1</selfcmdline>"
      "<elevated>1</elevated>"));
  const bool pictures = ScreenshotToolsPresent();
  StatusPicture picture;
  StatusWindowWatch watch(TakeStatusPicture(
      pictures ? std::string(RUN_E2E_ARTIFACTS "/run_status_window.png") : std::string(),
      &picture));

  const ProcessResult result = Run(program, "/S", &watch);

  EXPECT_EQ(0u, result.exitCode);
  const auto calls = service.Calls();
  const auto runs = child_->Runs();
  ASSERT_EQ(1u, calls.size());
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(std::to_string(result.processId), Field(calls[0], "caller"));
  const std::string temporary = Field(calls[0], "program");
  EXPECT_EQ(0u, temporary.find(temp_ + "LumenoUpdater_")) << temporary;
  EXPECT_EQ(temporary, Field(runs[0], "path"));
  EXPECT_EQ(Field(calls[0], "childpid"), Field(runs[0], "pid"));
  EXPECT_EQ("/S /CALLER \"" + program + "\"", Field(runs[0], "tail"));

  ASSERT_TRUE(watch.seen());
  EXPECT_EQ("Lumeno Setup", watch.title());
  EXPECT_EQ("Please wait while Lumeno is being installed...", watch.text());
  // Still up once the installer had started (which then ran 1.5 s).
  EXPECT_GE(watch.lastSeen(), StartedField(runs[0]));
  EXPECT_EQ(std::vector<std::string>{}, ListDirectory(temp_, true));

  if (!pictures)
    GTEST_SKIP() << "no screenshot: /usr/bin/xwd or /usr/bin/convert is missing "
                    "(packages x11-apps, imagemagick); every other check ran";
  EXPECT_TRUE(picture.whileUp) << picture.error;
}

// Without "/S" (letter case counts) the shell runs the installer, with no
// service call and no status window, and its exit code decides.
TEST_F(RunScenario, ShellLaunchIsJudgedByTheInstallersExitCode) {
  DebugOn();
  ServiceOrdersGuard service(dir_.path() + "service.log");
  ApplicationInstalled();
  const std::string program =
      Variant(Payload("<src>LUMENO2_ADMIN.EXE</src><cmdline>1</cmdline><elevated>1</elevated>"));
  const struct {
    const char* arguments;
    DWORD installerExitCode;
    DWORD exitCode;
    std::vector<std::string> boxes;
  } cases[] = {
      {"/Q /s", 0, 0, {}},
      {"", 3, kFailedWalk,
       {"Bad Exit Code: 3", "Event Tag processing failed", "ProcessXML2 failed"}},
  };
  size_t expectedRuns = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("arguments \"") + c.arguments + "\"");
    child_->ExitCode(c.installerExitCode);
    StatusWindowWatch watch;
    ErrorBoxAnswerer boxes;
    const ProcessResult result = Run(program, c.arguments, &watch, &boxes);
    EXPECT_EQ(c.exitCode, result.exitCode);
    EXPECT_EQ(c.boxes, boxes.texts());
    const auto runs = child_->Runs();
    ASSERT_EQ(++expectedRuns, runs.size());
    EXPECT_EQ(0u, Field(runs.back(), "path").find(temp_ + "LumenoUpdater_"));
    EXPECT_EQ(c.arguments, Field(runs.back(), "tail"));
    EXPECT_FALSE(watch.seen()) << "status window: " << watch.text();
    EXPECT_EQ(std::vector<std::string>{}, ListDirectory(temp_, true));
  }
  EXPECT_TRUE(service.Calls().empty());
}

// The running application is stopped after the installer was extracted and
// before it starts: its main window is asked to close, a process under one of
// its names is terminated. An extraction failure comes first and stops
// nothing.
TEST_F(RunScenario, ShutdownStopsTheApplicationOnlyAfterTheExtraction) {
  // Under one of the application's names, without a window: only termination
  // stops it.
  const std::string namedCopy = dir_.path() + "Lumeno2.exe";
  ASSERT_TRUE(CopyFileA(BuiltProgram("fake_app.exe").c_str(), namedCopy.c_str(), FALSE));
  // Long enough that a close request sent after the installer started could
  // not hide within the file clock's coarse steps.
  child_->SleepMs(300);
  const struct {
    const char* src;
    DWORD exitCode;
    bool stopped;
  } cases[] = {
      {"LUMENO2_ADMIN.EXE", 0, true},
      {"NOTHERE.EXE", kFailedWalk, false},
  };
  size_t expectedRuns = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.src);
    const std::string log = dir_.path() + c.src + ".log";
    FakeApp app(BuiltProgram("fake_app.exe"), "--window lmWindow Lumeno2 0 --log " + Quote(log));
    FakeApp named(namedCopy, "");
    ASSERT_TRUE(app.ready());
    ASSERT_TRUE(named.ready());
    // Its own name holds one of the application's names: it must spare itself.
    const std::string program =
        Variant(Payload(std::string("<src>") + c.src + "</src><lumenoshutdown>1</lumenoshutdown>"),
                "Lumeno3.exe_setup.exe");

    const ProcessResult result = Run(program, "", nullptr);

    EXPECT_EQ(c.exitCode, result.exitCode);
    const auto runs = child_->Runs();
    if (c.stopped) {
      ASSERT_EQ(++expectedRuns, runs.size());
      DWORD appExit = 0, namedExit = 0;
      EXPECT_TRUE(app.WaitForExit(5000, &appExit));
      EXPECT_EQ(0u, appExit) << "the application closes itself on WM_CLOSE";
      EXPECT_TRUE(named.WaitForExit(5000, &namedExit));
      EXPECT_EQ(1u, namedExit) << "terminated with code 1";
      EXPECT_EQ((std::vector<std::string>{"Lumeno2: WM_CLOSE", "Lumeno2: WM_DESTROY"}),
                ReadLines(log));
      // The window had handled WM_CLOSE before the installer started.
      EXPECT_LE(LastWriteTime(log), StartedField(runs.back()));
    } else {
      EXPECT_EQ(expectedRuns, runs.size());
      EXPECT_TRUE(app.Running());
      EXPECT_TRUE(named.Running());
      EXPECT_EQ(std::vector<std::string>{}, ReadLines(log));
    }
    EXPECT_EQ(std::vector<std::string>{}, ListDirectory(temp_, true));
  }
}

// Killed while it writes a large installer: the installer under its
// temporary name is whole or absent, never half; only the scratch file may
// stay, and the next run is not disturbed by it.
struct Entry {
  std::string name;
  ULONGLONG size;
};
std::vector<Entry> Entries(const std::string& directory) {
  std::vector<Entry> entries;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      entries.push_back({found.cFileName, (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) |
                                              found.nFileSizeLow});
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return entries;
}

TEST_F(RunScenario, KilledInTheMiddleOfTheExtractionLeavesNoHalfInstaller) {
  // The child program with 64 MiB behind it (an overlay: it still runs).
  std::string installer;
  ASSERT_TRUE(ReadWholeFile(BuiltProgram("child_program.exe"), &installer));
  installer.append(64u << 20, 'p');
  const std::string program =
      Variant(Payload("<src>LUMENO2_ADMIN.EXE</src>"), kVariantName, &installer);
  RegistryValueGuard originalPath(HKEY_LOCAL_MACHINE, "SOFTWARE\\Korvex\\Lumeno",
                                  "OriginalInstallerPath");

  // Killed as soon as its scratch file is seen part-written.
  std::string commandLine = Quote(program);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &started));
  ULONGLONG killedAt = 0;
  const ULONGLONG deadline = GetTickCount64() + kRunLimitMs;
  while (!killedAt && GetTickCount64() < deadline &&
         WaitForSingleObject(started.hProcess, 0) == WAIT_TIMEOUT) {
    for (const Entry& entry : Entries(temp_)) {
      if (entry.name.compare(0, 3, "ppp") == 0 && entry.size > 0 && entry.size < installer.size()) {
        TerminateProcess(started.hProcess, 9);
        killedAt = entry.size;
      }
    }
  }
  WaitForSingleObject(started.hProcess, kRunLimitMs);
  DWORD exitCode = 0;
  GetExitCodeProcess(started.hProcess, &exitCode);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  ASSERT_NE(0u, killedAt) << "the scratch file was never seen part-written (exit code "
                          << exitCode << ")";
  EXPECT_EQ(9u, exitCode);
  EXPECT_TRUE(child_->Runs().empty());
  size_t scratchFiles = 0;
  for (const Entry& entry : Entries(temp_)) {
    const bool scratch = entry.name.compare(0, 3, "ppp") == 0;
    scratchFiles += scratch;
    EXPECT_TRUE(scratch) << entry.name << " of " << entry.size << " bytes is left";
  }
  EXPECT_EQ(1u, scratchFiles);

  // The next run extracts, runs and deletes its own installer; the old
  // scratch file is ignored, or taken over when the thread number matches.
  // The killed run could not remove its OriginalInstallerPath.
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Korvex\\Lumeno", "OriginalInstallerPath");
  const ProcessResult result = Run(program, "", nullptr);
  EXPECT_EQ(0u, result.exitCode);
  ASSERT_EQ(1u, child_->Runs().size());
  for (const Entry& entry : Entries(temp_))
    EXPECT_EQ(0u, entry.name.compare(0, 3, "ppp")) << entry.name << " is left";
  printf("killed with %llu of %llu bytes of the scratch file written\n", killedAt,
         static_cast<unsigned long long>(installer.size()));
}

}  // namespace
