// URLRUN end to end: bootstrapper variants whose payload downloads a signed
// copy of child_program.exe from the loopback server, run as real processes
// with a private TMP. The dialog's run is photographed mid-download on a
// Wine virtual desktop (which draws the caption): artifacts/download_dialog.png.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bootstrapper_run.h"
#include "child_program/child_orders.h"
#include "dialog_windows.h"
#include "loopback_server.h"
#include "message_boxes.h"
#include "process.h"
#include "registry_guard.h"
#include "scratch_dir.h"
#include "signing/signed_fixtures.h"

namespace {

constexpr char kSubkey[] = "SOFTWARE\\BootstrapperTests\\UrlRunE2E";
constexpr char kVariantName[] = "urlrun_e2e_setup.exe";
constexpr char kDesktop[] = "DownloadDialog";
constexpr DWORD kRunLimitMs = 60000;
constexpr DWORD kFailedWalk = 0xFFFFFFFF;  // -1
constexpr int kProgressBar = 1000, kPercentLine = 1001;

std::string Payload(const std::string& urlRunAttributes) {
  return std::string("<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>") + kSubkey +
         "</subkey><installkey>InstallPath</installkey><event><type>URLRUN</type>" +
         urlRunAttributes +
         "<title>Lumeno Setup</title><status>Downloading the latest Lumeno...</status>"
         "<cmdline>1</cmdline></event></payload>";
}

class UrlRunScenario : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.running());
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr)) << temp_;
    char saved[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    if (length > 0 && length < MAX_PATH) savedTmp_ = std::make_unique<std::string>(saved);
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    child_ = std::make_unique<ChildOrders>(dir_.path() + "child.log");
    // The downloaded program installs, as an update does.
    child_->WriteInstallPath(kSubkey, "InstallPath", dir_.path() + "app");
  }

  void TearDown() override {
    child_.reset();
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    SetEnvironmentVariableA("TMP", savedTmp_ ? savedTmp_->c_str() : nullptr);
  }

  std::string Variant(const std::string& payload) {
    const std::string path = dir_.path() + kVariantName;
    PackBootstrapper(path, &payload);
    return path;
  }

  std::string Served(const SignedFixture& fixture, const std::string& options = "") const {
    return "<src>" + server_.Url(std::string("/files/") + fixture.file + options) + "</src>";
  }

  // Runs the variant with "/S"; during, onStarted gets its process id on a
  // thread of its own.
  ProcessResult Run(const std::string& program, void (*onStarted)(DWORD, void*) = nullptr,
                    void* context = nullptr) {
    const ProcessResult result =
        RunProcess(Quote(program) + " /S", kRunLimitMs, std::string(), onStarted, context);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    return result;
  }

  UnmanagedWindows unmanaged_{kVariantName};
  RegistryValueGuard debugGuard_{HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug"};
  ScratchDir dir_{"urlrune2e"};
  std::string temp_ = dir_.path() + "temp\\";
  std::unique_ptr<std::string> savedTmp_;
  std::unique_ptr<ChildOrders> child_;
  LoopbackServer server_{ModuleDirectory() + "signed"};
};

// The dialog's run: sent in small pieces (which the platform reports as they
// come) and held at 40 % so that the dialog can be looked at and
// photographed, then let go; the program runs and the walk ends with 0.
TEST_F(UrlRunScenario, DownloadsTheSignedProgramBehindTheDialogAndRunsIt) {
  // On a virtual desktop of its own, where Wine draws the caption.
  RegistryValueGuard desktopSize(HKEY_CURRENT_USER, "Software\\Wine\\Explorer\\Desktops", kDesktop);
  const std::string appDesktop = std::string("Software\\Wine\\AppDefaults\\") + kVariantName +
                                 "\\Explorer";
  RegistryValueGuard appDesktopGuard(HKEY_CURRENT_USER, appDesktop, "Desktop");
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_CURRENT_USER, "Software\\Wine\\Explorer\\Desktops",
                                             kDesktop, "1023x767"));
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_CURRENT_USER, appDesktop, "Desktop", kDesktop));

  std::string fileBytes;
  ASSERT_TRUE(ReadWholeFile(ModuleDirectory() + "signed\\" + kLumenoComma.file, &fileBytes));
  const size_t holdAt = (fileBytes.size() * 2 + 4) / 5;  // 40 % and a little
  const std::string program =
      Variant(Payload(Served(kLumenoComma, "?chunk=4096&pause=5&hold=" + std::to_string(holdAt))));

  struct Drive {
    LoopbackServer* server;
    std::thread thread;
    std::string title, status, percent, screenshotError;
    int bar = -1;
    bool pictured = false;
  } drive{&server_, {}, {}, {}, {}, {}, -1, false};
  const ProcessResult result = Run(
      program,
      [](DWORD processId, void* context) {
        auto* d = static_cast<Drive*>(context);
        d->thread = std::thread([d, processId] {
          HWND dialog = nullptr;
          // Every byte up to the hold is in.
          if (WaitFor([&] {
                return (dialog = FindDialog(processId, kProgressBar)) &&
                       DialogItemText(dialog, kPercentLine) == "40% complete";
              }, 30000)) {
            d->title = WindowText(dialog);
            d->status = DialogItemText(dialog, 1002);
            d->percent = DialogItemText(dialog, kPercentLine);
            d->bar = static_cast<int>(SendDlgItemMessageA(dialog, kProgressBar, PBM_GETPOS, 0, 0));
            if (ScreenshotToolsPresent())
              d->pictured = TakeScreenshot(URLRUN_E2E_ARTIFACTS "/download_dialog.png",
                                           &d->screenshotError, "1023x767");
          }
          d->server->Resume();
        });
      },
      &drive);
  if (drive.thread.joinable()) drive.thread.join();

  EXPECT_EQ(0u, result.exitCode);
  EXPECT_EQ("Lumeno Setup", drive.title);
  EXPECT_EQ("Downloading the latest Lumeno...", drive.status);
  EXPECT_EQ("40% complete", drive.percent);
  EXPECT_EQ(40, drive.bar);
  const auto runs = child_->Runs();
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(0u, Field(runs[0], "path").find(temp_ + "plr")) << Field(runs[0], "path");
  EXPECT_EQ("/S", Field(runs[0], "tail"));
  EXPECT_EQ(std::vector<std::string>{}, ListDirectory(temp_));
  if (!ScreenshotToolsPresent())
    GTEST_SKIP() << "no screenshot: /usr/bin/xwd or /usr/bin/convert is missing "
                    "(packages x11-apps, imagemagick); every other check ran";
  EXPECT_TRUE(drive.pictured) << drive.screenshotError;
}

// Another publisher's program is never started, and nothing stays behind.
TEST_F(UrlRunScenario, RejectedPublisherEndsTheRunWithNothingRunAndNothingLeft) {
  const ProcessResult result = Run(Variant(Payload(Served(kOtherPublisher))));
  EXPECT_EQ(kFailedWalk, result.exitCode);
  EXPECT_EQ(0u, child_->Runs().size());
  EXPECT_EQ(std::vector<std::string>{}, ListDirectory(temp_));
  EXPECT_EQ(1, server_.RequestCount(std::string("/files/") + kOtherPublisher.file));
}

// A 404 arrives as a downloaded error page, which the publisher check
// rejects: with the debug switch on, the run says so in its message boxes.
TEST_F(UrlRunScenario, NotFoundProgramIsReportedAsNotAuthenticated) {
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug", "1"));
  ErrorBoxAnswerer boxes;
  const ProcessResult result =
      Run(Variant(Payload("<src>" + server_.Url("/files/gone.exe") + "</src><hidden>1</hidden>")),
          ErrorBoxAnswerer::StartWatching, &boxes);
  boxes.Stop();
  EXPECT_EQ(kFailedWalk, result.exitCode);
  const std::vector<std::string> texts = boxes.texts();
  ASSERT_EQ(3u, texts.size());
  EXPECT_EQ(0u, texts[0].find(temp_ + "plr")) << texts[0];
  EXPECT_EQ(".exe is not authenticated", texts[0].substr(texts[0].size() - 25));
  EXPECT_EQ("Event Tag processing failed", texts[1]);
  EXPECT_EQ("ProcessXML2 failed", texts[2]);
  EXPECT_EQ(0u, child_->Runs().size());
  EXPECT_EQ(std::vector<std::string>{}, ListDirectory(temp_));
}

}  // namespace
