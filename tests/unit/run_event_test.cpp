// RUN in-process, against the real child program (embedded in this test
// program as LUMENO2_ADMIN.EXE), the real update-service stand-in and the
// real status window. Each test gets a private temporary directory (TMP), so
// what RUN leaves there is exactly what the test sees.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "child_program/child_orders.h"
#include "events/dispatch.h"
#include "files/temp_program.h"
#include "held_file.h"
#include "process.h"
#include "registry_guard.h"
#include "report_capture.h"
#include "scratch_dir.h"
#include "state/process_state.h"
#include "status_window_watch.h"
#include "update_service/service_control.h"

namespace {

constexpr char kRoot[] = "HKEY_LOCAL_MACHINE";
constexpr char kSubkey[] = "SOFTWARE\\BootstrapperTests\\RunEvent";
constexpr char kInstallKey[] = "InstallPath";
constexpr char kServiceFailed[] = "Failed to run via service.  Running normally";

std::string OwnPath() {
  char path[MAX_PATH];
  return std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
}

class RunEvent : public testing::Test {
 protected:
  RunEvent() : dir_("run"), temp_(dir_.path() + "temp\\"), installDir_(dir_.path() + "app") {}

  void SetUp() override {
    ResetProcessState();
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));
    child_ = std::make_unique<ChildOrders>(dir_.path() + "child.log");
    child_->WriteInstallPath(kSubkey, kInstallKey, installDir_);
  }

  void TearDown() override {
    child_.reset();
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    ResetProcessState();
  }

  int Run(const std::string& attributes, const char* rootkey = kRoot) {
    std::string content = attributes;
    TextBlock event{&content[0], content.size()};
    return ProcessEvent(rootkey, kSubkey, event, GetModuleHandleA(nullptr), kInstallKey);
  }

  std::vector<FixtureRecord> Runs() const { return child_->Runs(); }

  ScratchDir dir_;
  std::string temp_;
  std::string installDir_;
  std::unique_ptr<ChildOrders> child_;
};

TEST_F(RunEvent, RefusesMissingOrMalformedSrcBeforeExtractingAnything) {
  const std::string name64(64, 'N');
  const struct {
    std::string attributes;
    std::string message;
  } cases[] = {
      {"<type>RUN</type>", "RUN tag is missing a SRC"},
      {"<type>RUN</type><src>  </src>", "RUN tag is missing a SRC"},
      {"<type>RUN</type><src>LUMENO2_ADMIN</src>", "malformed SRC tag: LUMENO2_ADMIN"},
      {"<type>RUN</type><src>" + name64 + ".EXE</src>", "malformed SRC tag: " + name64 + ".EXE"},
      {"<type>RUN</type><src>LUMENO2_ADMIN.EXEXE</src>", "malformed SRC tag: LUMENO2_ADMIN.EXEXE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attributes);
    ReportCapture reports;
    EXPECT_EQ(-1, Run(c.attributes));
    EXPECT_EQ(std::vector<std::string>{c.message}, reports.errors());
  }
  EXPECT_TRUE(Runs().empty());
  EXPECT_TRUE(ListDirectory(temp_, true).empty());
}

TEST_F(RunEvent, MissingResourceIsReportedAndNothingIsLeft) {
  ReportCapture reports;
  EXPECT_EQ(-1, Run("<type>RUN</type><src>nothere.exe</src><lumenoshutdown>1</lumenoshutdown>"));
  EXPECT_EQ((std::vector<std::string>{"ExtractFile - FindResource failed name=NOTHERE, ext=EXE",
                                      "Cant extract NOTHERE.EXE"}),
            reports.errors());
  EXPECT_TRUE(ListDirectory(temp_, true).empty());
}

TEST_F(RunEvent, NoTemporaryNameOrARefusedLaunchFailsAndLeavesNothing) {
  {
    // A temporary directory too long for the 260-byte name buffers.
    const std::string tooLong = temp_ + std::string(260, 'd') + "\\";
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", tooLong.c_str()));
    ReportCapture reports;
    EXPECT_EQ(-1, Run("<type>RUN</type><src>LUMENO2_ADMIN.EXE</src>"));
    EXPECT_EQ((std::vector<std::string>{"GetTempPath failed", "MakeTempEXEName failed "}),
              reports.errors());
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));
  }
  {
    ReportCapture reports;
    EXPECT_EQ(-1, Run("<type>RUN</type><src>NotAProgram.exe</src>"));
    ASSERT_EQ(1u, reports.errors().size());
    EXPECT_EQ(0u, reports.errors()[0].find("ShellExecute failed: " + temp_ + "LumenoUpdater_"))
        << reports.errors()[0];
  }
  EXPECT_TRUE(Runs().empty());
  EXPECT_TRUE(ListDirectory(temp_, true).empty());
}

TEST_F(RunEvent, ShellLaunchRunsTheProgramFromTheTemporaryDirectory) {
  ReportCapture reports;
  gCallerCmdLine = "/Q /LANG=de";
  ASSERT_EQ(0, Run("<type> RUN </type><src>sub\\Lumeno2_Admin.exe</src><cmdline>-q -x</cmdline>"));
  EXPECT_TRUE(reports.errors().empty()) << reports.errors().front();
  const auto runs = Runs();
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ("-q -x", Field(runs[0], "tail"));
  // The program ran under a fresh temporary name, in the temporary directory.
  const std::string path = Field(runs[0], "path");
  EXPECT_EQ(0u, path.find(temp_ + "LumenoUpdater_")) << path;
  EXPECT_EQ(temp_.substr(0, temp_.size() - 1), Field(runs[0], "cwd").substr(0, temp_.size() - 1));
  EXPECT_EQ(installDir_ + "\\", std::string(gInstallPath));
  EXPECT_TRUE(ListDirectory(temp_, true).empty());
}

TEST_F(RunEvent, ParametersFollowCmdlineAndSelfcmdline) {
  const std::string own = OwnPath();
  const struct {
    const char* caller;
    std::string attributes;
    std::string tail;
  } cases[] = {
      {"/S /Q", "<cmdline>1</cmdline>", "/S /Q"},
      {"/S /Q", "<cmdline>-q</cmdline><selfcmdline>1</selfcmdline>", "-q"},
      {"/S /Q", "", ""},
      {"", "<cmdline>1</cmdline><selfcmdline>1</selfcmdline>", "/CALLER \"" + own + "\""},
      {"/S", "<cmdline>1</cmdline><selfcmdline>1</selfcmdline>", "/S /CALLER \"" + own + "\""},
      // selfcmdline is compared untrimmed: " 1 " is off.
      {"/S", "<cmdline>1</cmdline><selfcmdline> 1 </selfcmdline>", "/S"},
  };
  size_t run = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attributes);
    gCallerCmdLine = c.caller;
    ASSERT_EQ(0, Run("<type>RUN</type><src>LUMENO2_ADMIN.EXE</src>" + c.attributes));
    const auto runs = Runs();
    ASSERT_EQ(++run, runs.size());
    EXPECT_EQ(c.tail, Field(runs.back(), "tail"));
  }
}

TEST_F(RunEvent, ExtensionIsCumulativeAndStaysWhenTheEventFails) {
  const std::string own = OwnPath();
  gCallerCmdLine = "";
  const std::string extend = "<cmdline>1</cmdline><selfcmdline>1</selfcmdline>";
  ASSERT_EQ(0, Run("<type>RUN</type><src>LUMENO2_ADMIN.EXE</src>" + extend));
  ReportCapture reports;
  EXPECT_EQ(-1, Run("<type>RUN</type><src>NODOT</src>" + extend));
  const std::string twice = "/CALLER \"" + own + "\" /CALLER \"" + own + "\"";
  EXPECT_EQ(twice, std::string(gCallerCmdLine));
  EXPECT_EQ(std::vector<std::string>{"malformed SRC tag: NODOT"}, reports.errors());
}

TEST_F(RunEvent, CallerCommandLineThatCannotBeExtendedFailsTheEvent) {
  const std::string longLine(2040, 'x');
  gCallerCmdLine = longLine.c_str();
  ReportCapture reports;
  EXPECT_EQ(-1, Run("<type>RUN</type><src>LUMENO2_ADMIN.EXE</src><cmdline>1</cmdline>"
                    "<selfcmdline>1</selfcmdline>"));
  EXPECT_EQ(longLine.c_str(), gCallerCmdLine);
  ASSERT_EQ(1u, reports.errors().size());
  EXPECT_EQ(0u, reports.errors()[0].find("Caller command line too long to add /CALLER"));
  EXPECT_TRUE(Runs().empty());
}

TEST_F(RunEvent, ExitCodeAndInstallPathDecide) {
  const std::string run = "<type>RUN</type><src>LUMENO2_ADMIN.EXE</src>";
  {
    ReportCapture reports;
    child_->ExitCode(1);
    EXPECT_EQ(-1, Run(run));
    EXPECT_EQ(std::vector<std::string>{"Bad Exit Code: 1"}, reports.errors());
  }
  {
    ReportCapture reports;
    child_->ExitCode(static_cast<DWORD>(-5));
    EXPECT_EQ(-1, Run(run));
    EXPECT_EQ(std::vector<std::string>{"Bad Exit Code: -5"}, reports.errors());
  }
  child_->ExitCode(0);
  {
    // Exit code 0, but the installer wrote no install path.
    ChildOrders noInstall(dir_.path() + "noinstall.log");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    ReportCapture reports;
    EXPECT_EQ(-1, Run(run));
    EXPECT_EQ(std::vector<std::string>{"RUN Could not find registry key for install path - "
                                       "[HKEY_LOCAL_MACHINE][SOFTWARE\\BootstrapperTests\\RunEvent]"
                                       "[InstallPath]"},
              reports.errors());
  }
  child_->WriteInstallPath(kSubkey, kInstallKey, installDir_);
  {
    // Any other root fails the check even when the value is there.
    ReportCapture reports;
    EXPECT_EQ(-1, Run(run, "HKEY_CURRENT_USER"));
    EXPECT_EQ(std::vector<std::string>{"RUN Could not find registry key for install path - "
                                       "[HKEY_CURRENT_USER][SOFTWARE\\BootstrapperTests\\RunEvent]"
                                       "[InstallPath]"},
              reports.errors());
  }
  EXPECT_TRUE(ListDirectory(temp_, true).empty());
}

// Without "/S" (letter case counts), or on a machine without the
// application's key, there is no service call and no status window, even with
// elevated "1".
TEST_F(RunEvent, ElevatedNeedsSilentSwitchAndInstalledApplication) {
  ServiceOrdersGuard service(dir_.path() + "service.log");
  const std::string elevated = "<type>RUN</type><src>LUMENO2_ADMIN.EXE</src><elevated>1</elevated>";
  const struct {
    const char* caller;
    bool keyExists;
  } cases[] = {{"", true}, {"/s /l", true}, {"/S", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caller);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    if (c.keyExists) {
      ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kSubkey, "x", "y"));
    }
    gCallerCmdLine = c.caller;
    StatusWindowWatch watch;
    watch.Start(GetCurrentProcessId());
    EXPECT_EQ(0, Run(elevated));
    watch.Stop();
    EXPECT_FALSE(watch.seen());
  }
  EXPECT_EQ(3u, Runs().size());
  EXPECT_TRUE(service.Calls().empty());
}

// With "/S" on an installed machine the service runs the program; its exit
// code alone decides, and the install path is not read.
TEST_F(RunEvent, ServiceLaunchShowsStatusWindowUnlessAskedNotTo) {
  ServiceOrdersGuard service(dir_.path() + "service.log");
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kSubkey, "x", "y"));
  child_->SleepMs(700);
  const std::string elevated =
      "<type>RUN</type><src>LUMENO2_ADMIN.EXE</src><elevated>1</elevated><cmdline>1</cmdline>";
  for (const char* caller : {"/S", "/S /L"}) {
    SCOPED_TRACE(caller);
    gCallerCmdLine = caller;
    gInstallPath[0] = '\0';
    ReportCapture reports;
    StatusWindowWatch watch;
    watch.Start(GetCurrentProcessId());
    EXPECT_EQ(0, Run(elevated));
    watch.Stop();
    EXPECT_TRUE(reports.errors().empty());
    EXPECT_EQ(std::string(caller) == "/S", watch.seen());
    if (watch.seen()) {
      EXPECT_EQ("Please wait while Lumeno is being installed...", watch.text());
    }
    EXPECT_STREQ("", gInstallPath);
  }
  const auto calls = service.Calls();
  const auto runs = Runs();
  ASSERT_EQ(2u, calls.size());
  ASSERT_EQ(2u, runs.size());
  EXPECT_EQ(std::to_string(GetCurrentProcessId()), Field(calls[0], "caller"));
  EXPECT_EQ(Field(runs[0], "path"), Field(calls[0], "program"));
  EXPECT_EQ("/S", Field(runs[0], "tail"));
  EXPECT_EQ("/S /L", Field(runs[1], "tail"));
  EXPECT_TRUE(ListDirectory(temp_, true).empty());
}

// A failing or unavailable service is not a failure of the event: the same
// temporary program runs again through the shell, which decides.
TEST_F(RunEvent, ServiceFailureFallsBackToTheShell) {
  ServiceOrdersGuard service(dir_.path() + "service.log");
  const std::string elevated =
      "<type>RUN</type><src>LUMENO2_ADMIN.EXE</src><elevated>1</elevated><cmdline>-z</cmdline>";
  gCallerCmdLine = "/S";
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kSubkey, "x", "y"));
  {
    // The program runs through the service but exits 3; the shell run exits 0.
    child_->ExitCodeOfRun(1, 3);
    ReportCapture reports;
    EXPECT_EQ(0, Run(elevated));
    EXPECT_EQ(std::vector<std::string>{kServiceFailed}, reports.errors());
    const auto runs = Runs();
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ("3", Field(runs[0], "exitcode"));
    EXPECT_EQ(Field(runs[0], "path"), Field(runs[1], "path"));
    EXPECT_EQ("-z", Field(runs[1], "tail"));
    EXPECT_EQ(installDir_ + "\\", std::string(gInstallPath));
  }
  {
    service.Mode("fail");
    ReportCapture reports;
    EXPECT_EQ(0, Run(elevated));
    EXPECT_EQ(std::vector<std::string>{kServiceFailed}, reports.errors());
    EXPECT_EQ(3u, Runs().size());
  }
  {
    // No service at all: the status window stays up through the shell launch.
    ServiceUnavailable unavailable(false);
    ASSERT_TRUE(unavailable.ready());
    child_->SleepMs(700);
    ReportCapture reports;
    StatusWindowWatch watch;
    watch.Start(GetCurrentProcessId());
    EXPECT_EQ(0, Run(elevated));
    watch.Stop();
    EXPECT_EQ(std::vector<std::string>{"CUpdateService unavailable"}, reports.errors());
    EXPECT_TRUE(watch.seen());
    EXPECT_EQ(4u, Runs().size());
  }
  EXPECT_TRUE(ListDirectory(temp_, true).empty());
}

// --- The program between its extraction and its (last) start: another
// process of the same user tries to overwrite, rename and delete it just
// before each start, through the service and through the shell.
std::vector<std::string> gAttacks;
void AttackHeldProgram(const char* path) {
  gAttacks.push_back(
      RunProcess(Quote(BuiltProgram("file_attacker.exe")) + " " + Quote(path)).output);
}

TEST_F(RunEvent, NobodyCanReplaceOrDeleteTheProgramBeforeItStarts) {
  ServiceOrdersGuard service(dir_.path() + "service.log");
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kSubkey, "x", "y"));
  const std::string shell = "<type>RUN</type><src>LUMENO2_ADMIN.EXE</src>";
  const std::string elevated = shell + "<elevated>1</elevated>";
  const struct {
    const char* what;
    std::string attributes;
    const char* mode;
    size_t starts;  // attacked, each just before it
    size_t runs;
  } cases[] = {
      {"shell", shell, "run", 1, 1},
      {"service", elevated, "run", 1, 1},
      {"service that fails, then the shell", elevated, "fail", 2, 1},
  };
  gCallerCmdLine = "/S /L";
  SetHeldProgramObserver(AttackHeldProgram);
  size_t runs = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    service.Mode(c.mode);
    gAttacks.clear();
    EXPECT_EQ(0, Run(c.attributes));
    EXPECT_EQ(std::vector<std::string>(c.starts, "write=32 rename=32 delete=32\r\n"), gAttacks);
    // What ran is what was extracted: a replaced program would not start.
    EXPECT_EQ(runs += c.runs, Runs().size());
    EXPECT_TRUE(ListDirectory(temp_, true).empty()) << "released and deleted";
  }
  SetHeldProgramObserver(nullptr);
  // Where nothing holds a file the attacker succeeds.
  const std::string loose = dir_.path() + "loose.exe";
  ASSERT_TRUE(WriteWholeFile(loose, "program"));
  AttackHeldProgram(loose.c_str());
  EXPECT_EQ("write=0 rename=0 delete=0\r\n", gAttacks.back());
}

// --- The gap before the hold: once the program is complete and closed and
// before it is held, another process of the same user rewrites a byte of it
// (in its DOS message: it would still run), moves another program that
// records its start over it, or cuts it. The held file is compared with the
// resource, and the run refuses it: nothing starts, through the service or
// the shell, and nothing is left.
const char* gChange = nullptr;
std::string gChangeArgument;
std::string gChangeOutput;
std::string gChangedPath;
void ChangeProgramBeforeTheHold(const char* path) {
  gChangedPath = path;
  gChangeOutput = RunProcess(Quote(BuiltProgram("file_attacker.exe")) + " " + gChange + " " +
                             Quote(path) + " " + gChangeArgument)
                      .output;
}

TEST_F(RunEvent, ProgramChangedBeforeItsHoldIsRefused) {
  ServiceOrdersGuard service(dir_.path() + "service.log");
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kSubkey, "x", "y"));
  HRSRC resource = FindResourceA(nullptr, "LUMENO2_ADMIN", "EXE");
  ASSERT_NE(nullptr, resource);
  const std::string size = std::to_string(SizeofResource(nullptr, resource));
  const std::string half = std::to_string(SizeofResource(nullptr, resource) / 2);
  // A program that runs and records its start, but is not the resource.
  std::string other;
  ASSERT_TRUE(ReadWholeFile(BuiltProgram("child_program.exe"), &other));
  const std::string otherPath = dir_.path() + "other.exe";
  ASSERT_TRUE(WriteWholeFile(otherPath, other + "appended"));
  const struct {
    const char* change;
    std::string argument;
    std::string difference;
  } cases[] = {
      {"rewrite", "78", size + " bytes instead of " + size + ", first difference at byte 78"},
      {"replace", otherPath,
       std::to_string(other.size() + 8) + " bytes instead of " + size +
           ", first difference at byte " + size},
      {"truncate", half, half + " bytes instead of " + size + ", first difference at byte " + half},
  };
  gCallerCmdLine = "/S /L";
  SetProgramHoldObserver(ChangeProgramBeforeTheHold);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change);
    gChange = c.change;
    gChangeArgument = Quote(c.argument);
    gChangeOutput.clear();
    gChangedPath.clear();
    ReportCapture reports;
    EXPECT_EQ(-1, Run("<type>RUN</type><src>LUMENO2_ADMIN.EXE</src><elevated>1</elevated>"));
    EXPECT_EQ(std::string(c.change) + "=0\r\n", gChangeOutput) << "the change was not made";
    EXPECT_EQ(0u, gChangedPath.find(temp_ + "LumenoUpdater_")) << gChangedPath;
    EXPECT_EQ(std::vector<std::string>{"RUN - " + gChangedPath +
                                       " changed after its extraction: " + c.difference},
              reports.errors());
    EXPECT_TRUE(ListDirectory(temp_, true).empty()) << "the temporary program was not deleted";
  }
  SetProgramHoldObserver(nullptr);
  EXPECT_TRUE(Runs().empty()) << "a changed program started";
  EXPECT_TRUE(service.Calls().empty());
}

// A process that opened the program for writing before the hold (and lets
// it be deleted) makes the hold fail, so no writer is left once the
// comparison has passed: the run is refused, and the program deleted.
std::unique_ptr<HeldFile> gWriter;
void OpenProgramForWritingBeforeTheHold(const char* path) {
  gChangedPath = path;
  gWriter = std::make_unique<HeldFile>(path, HeldFile::Share::kAll);
}

TEST_F(RunEvent, ProgramStillOpenForWritingAtItsHoldIsRefused) {
  SetProgramHoldObserver(OpenProgramForWritingBeforeTheHold);
  ReportCapture reports;
  EXPECT_EQ(-1, Run("<type>RUN</type><src>LUMENO2_ADMIN.EXE</src>"));
  SetProgramHoldObserver(nullptr);
  ASSERT_TRUE(gWriter && gWriter->held());
  gWriter.reset();
  EXPECT_EQ(std::vector<std::string>{"HoldProgramFile - CreateFile failed path=" + gChangedPath +
                                     ", GetLastError()=32"},
            reports.errors());
  EXPECT_TRUE(Runs().empty());
  EXPECT_TRUE(ListDirectory(temp_, true).empty()) << "the temporary program was not deleted";
}

// Run from a directory so deep that the program's own path does not fit the
// 260 bytes of GetModuleFileNameA (the test RunEvent.OwnPathThatDoesNotFit
// copies this program there): RUN refuses to pass a cut path on as its
// caller, before anything is extracted.
TEST(RunEventOwnPath, DISABLED_PathThatDoesNotFitIsRefused) {
  char path[MAX_PATH];
  SetLastError(0xdeadbeef);
  ASSERT_EQ(static_cast<DWORD>(MAX_PATH), GetModuleFileNameA(nullptr, path, MAX_PATH))
      << "start this test from a deeper directory";
  ASSERT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  ResetProcessState();
  gCallerCmdLine = "/S";
  ScratchDir temp("ownpath");
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp.path().c_str()));
  std::string content =
      "<type>RUN</type><src>LUMENO2_ADMIN.EXE</src><cmdline>1</cmdline><selfcmdline>1</selfcmdline>";
  TextBlock event{&content[0], content.size()};
  ReportCapture reports;
  EXPECT_EQ(-1, ProcessEvent(kRoot, kSubkey, event, GetModuleHandleA(nullptr), kInstallKey));
  EXPECT_EQ(std::vector<std::string>{"GetModuleFileName failed, GetLastError()=122"},
            reports.errors());
  EXPECT_STREQ("/S", gCallerCmdLine);
  EXPECT_EQ(std::vector<std::string>{}, ListDirectory(temp.path())) << "nothing was extracted";
  ResetProcessState();
}

}  // namespace
