// URLRUN in-process, through ProcessEvent: the signed fixtures served by the
// loopback server, child_program.exe (which they are copies of) recording
// each run, a private TMP, and the download dialog on the display. After
// every event, whatever its outcome, the temporary directory is empty again.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/report.h"
#include "case_name.h"
#include "child_program/child_orders.h"
#include "common/fixture_clock.h"
#include "dialog_windows.h"
#include "download/download_dialog.h"
#include "download/download_engine.h"
#include "download/download_job.h"
#include "events/dispatch.h"
#include "files/temp_program.h"
#include "held_file.h"
#include "loopback_server.h"
#include "process.h"
#include "registry_guard.h"
#include "resources/resource_ids.h"
#include "scratch_dir.h"
#include "signing/signed_fixtures.h"
#include "state/process_state.h"

namespace {

constexpr char kLocalMachine[] = "HKEY_LOCAL_MACHINE";
constexpr char kSubkey[] = "SOFTWARE\\BootstrapperTests\\UrlRun";
constexpr char kInstallKey[] = "InstallPath";
constexpr char kCaller[] = "/S /LANG=fr";
constexpr char kTitleStatus[] = "<title>Test title</title><status>Getting it</status>";

using Messages = std::vector<std::string>;

// What was reported, each with whether a downloaded program (plr*.exe) was
// in the temporary directory at that moment.
struct Report {
  std::string text;
  bool programPresent;
};
std::vector<Report> gReports;
std::string gTemp;

bool ProgramPresent() {
  for (const std::string& name : ListDirectory(gTemp, true))
    if (name.compare(0, 3, "plr") == 0 && name.size() > 4 &&
        name.compare(name.size() - 4, 4, ".exe") == 0)
      return true;
  return false;
}

void RecordReport(const char* text) { gReports.push_back({text, ProgramPresent()}); }

// The message with the download target's name (temp\plr<hex>.exe) as <target>.
std::string Normalised(std::string text) {
  const std::string head = gTemp + "plr";
  size_t at = 0;
  while ((at = text.find(head, at)) != std::string::npos) {
    size_t end = at + head.size();
    while (end < text.size() && isxdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (text.compare(end, 4, ".exe") != 0) {
      at = end;
      continue;
    }
    text.replace(at, end + 4 - at, "<target>");
  }
  return text;
}

std::function<void(const char*)> gOnAccepted;
void OnAccepted(const char* target) {
  if (gOnAccepted) gOnAccepted(target);
}

class UrlRunTest : public testing::Test {
 public:
  UrlRunTest()
      : dir_("urlrun"),
        temp_(dir_.path() + "temp\\"),
        install_(dir_.path() + "app"),
        server_(ModuleDirectory() + "signed"),
        orders_(dir_.path() + "child.log") {}

  void SetUp() override {
    ResetProcessState();
    gCallerCmdLine = kCaller;
    ASSERT_TRUE(server_.running());
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
    char saved[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    savedTmp_ = length > 0 && length < MAX_PATH ? saved : "";
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));
    gTemp = temp_;
    gReports.clear();
    SetReportObserver(RecordReport);
    SetHeldProgramObserver(OnAccepted);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
  }

  void TearDown() override {
    SetDownloadTimingForTesting(kDownloadStallLimitMs, kDownloadAbortGraceMs);
    gOnAccepted = nullptr;
    SetHeldProgramObserver(nullptr);
    SetReportObserver(nullptr);
    SetEnvironmentVariableA("TMP", savedTmp_.empty() ? nullptr : savedTmp_.c_str());
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    ResetProcessState();
  }

  std::string Src(const std::string& url) {
    src_ = url;
    return "<src>" + url + "</src>";
  }
  std::string Served(const SignedFixture& fixture, const std::string& options = "") {
    return Src(server_.Url(std::string("/files/") + fixture.file + options));
  }
  // A hidden download of the served fixture, with the required texts.
  std::string Hidden(const SignedFixture& fixture) {
    return Served(fixture) + kTitleStatus + "<hidden>1</hidden>";
  }
  // The program writes the install path when it runs, as an installer does.
  void ProgramWritesInstallPath() { orders_.WriteInstallPath(kSubkey, kInstallKey, install_); }

  int Run(const std::string& attributes, const char* rootkey = kLocalMachine) {
    std::string content = "<type>URLRUN</type>" + attributes;
    TextBlock event{&content[0], content.size()};
    return ProcessEvent(rootkey, kSubkey, event, GetModuleHandleA(nullptr), kInstallKey);
  }

  Messages Reported() const {
    Messages texts;
    for (const Report& report : gReports) texts.push_back(Normalised(report.text));
    return texts;
  }

  ScratchDir dir_;
  std::string temp_;
  std::string install_;
  std::string savedTmp_;
  LoopbackServer server_;
  ChildOrders orders_;
  std::string src_;
};

// --- Every way the event fails, each on its own path.
struct FailureCase {
  const char* what;
  std::string (*event)(UrlRunTest& test);  // the attributes, after any orders
  const char* rootkey;
  Messages reports;  // <target> for the download target, <src> for the address
  int programRuns;
  bool programLeftAtLastReport;
};

class UrlRunFailure : public UrlRunTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(UrlRunFailure, ReportsAndLeavesNothing) {
  const FailureCase& c = GetParam();
  const std::string attributes = c.event(*this);
  EXPECT_EQ(-1, Run(attributes, c.rootkey));
  Messages expected;
  for (std::string text : c.reports) {
    const size_t at = text.find("<src>");
    if (at != std::string::npos) text.replace(at, 5, src_);
    expected.push_back(text);
  }
  EXPECT_EQ(expected, Reported());
  if (!gReports.empty()) {
    EXPECT_EQ(c.programLeftAtLastReport, gReports.back().programPresent);
  }
  EXPECT_EQ(Messages{}, ListDirectory(temp_)) << "left in the temporary directory";
  const std::vector<FixtureRecord> runs = orders_.Runs();
  ASSERT_EQ(static_cast<size_t>(c.programRuns), runs.size());
  if (c.programRuns) {
    EXPECT_EQ("<target>", Normalised(Field(runs[0], "path")));
  }
  if (attributes.find("<src>") == std::string::npos) {
    EXPECT_EQ(Messages{}, server_.Requests());
  }
}

std::string Refused() {
  return "http://127.0.0.1:" + std::to_string(RefusedLoopbackPort()) + "/program.exe";
}

const char kNotAuthenticated[] = "<target> is not authenticated";
const char kNoInstallPath[] = "URLRUN Could not find registry key for install path - ";

INSTANTIATE_TEST_SUITE_P(
    Table, UrlRunFailure,
    testing::Values(
        FailureCase{"missing src", [](UrlRunTest&) { return std::string(kTitleStatus); },
                    kLocalMachine, {"URLRUN is missing a SRC tag"}, 0, false},
        FailureCase{"missing title",
                    [](UrlRunTest&) { return std::string("<src>x</src><status>s</status>"); },
                    kLocalMachine, {"URLRUN is missing a TITLE tag"}, 0, false},
        FailureCase{"missing status",
                    [](UrlRunTest&) { return std::string("<src>x</src><title>t</title>"); },
                    kLocalMachine, {"URLRUN is missing a STATUS tag"}, 0, false},
        FailureCase{"download refused",
                    [](UrlRunTest& t) {
                      return t.Src(Refused()) + kTitleStatus + "<hidden>1</hidden>";
                    },
                    kLocalMachine,
                    {"Downloader - URLDownloadToFile(<src>) failed, -2146697208",
                     "DOWNLOAD CANCELED OR ENCOUNTERED ERROR"},
                    0, false},
        // No byte for the stall limit (shortened to 500 ms).
        FailureCase{"download stalls",
                    [](UrlRunTest& t) {
                      SetDownloadTimingForTesting(500, kDownloadAbortGraceMs);
                      return t.Src(t.server_.Url("/silent")) + kTitleStatus + "<hidden>1</hidden>";
                    },
                    kLocalMachine,
                    {"Downloader - URLDownloadToFile(<src>) failed, -2147467260",
                     "DOWNLOAD CANCELED OR ENCOUNTERED ERROR"},
                    0, false},
        // A temporary directory that does not exist: no name, no download.
        FailureCase{"no temporary name",
                    [](UrlRunTest& t) {
                      SetEnvironmentVariableA("TMP", (t.temp_ + "missing\\").c_str());
                      return t.Hidden(kKorvexPeriod);
                    },
                    kLocalMachine,
                    {"Downloader - URLDownloadToFile(<src>) failed, -2147024809",
                     "DOWNLOAD CANCELED OR ENCOUNTERED ERROR"},
                    0, false},
        // The platform writes the server's error page as the program and
        // reports success; the publisher check rejects it.
        FailureCase{"server answers 404",
                    [](UrlRunTest& t) {
                      return t.Src(t.server_.Url("/files/none.exe")) + kTitleStatus +
                             "<hidden>1</hidden>";
                    },
                    kLocalMachine, {kNotAuthenticated}, 0, true},
        FailureCase{"another publisher", [](UrlRunTest& t) { return t.Hidden(kOtherPublisher); },
                    kLocalMachine, {kNotAuthenticated}, 0, true},
        FailureCase{"publisher name in capitals",
                    [](UrlRunTest& t) { return t.Hidden(kLumenoCommaUpper); }, kLocalMachine,
                    {kNotAuthenticated}, 0, true},
        FailureCase{"tampered program", [](UrlRunTest& t) { return t.Hidden(kTampered); },
                    kLocalMachine, {kNotAuthenticated}, 0, true},
        FailureCase{"unsigned program", [](UrlRunTest& t) { return t.Hidden(kUnsigned); },
                    kLocalMachine, {kNotAuthenticated}, 0, true},
        FailureCase{"accepted but cannot start",
                    [](UrlRunTest& t) { return t.Hidden(kSignedLibrary); }, kLocalMachine,
                    {"ShellExecute failed: <target>"}, 0, true},
        // Reported after the deletion.
        FailureCase{"exit code 3",
                    [](UrlRunTest& t) {
                      t.orders_.ExitCode(3);
                      t.ProgramWritesInstallPath();
                      return t.Hidden(kLumenoComma);
                    },
                    kLocalMachine, {"Bad Exit Code: 3"}, 1, false},
        FailureCase{"rootkey of the current user",
                    [](UrlRunTest& t) {
                      t.ProgramWritesInstallPath();
                      return t.Hidden(kKorvexPeriod);
                    },
                    "HKEY_CURRENT_USER",
                    {std::string(kNoInstallPath) + "[HKEY_CURRENT_USER][" + kSubkey +
                     "][InstallPath]"},
                    1, false},
        FailureCase{"no install path", [](UrlRunTest& t) { return t.Hidden(kTessaly); },
                    kLocalMachine,
                    {std::string(kNoInstallPath) + "[HKEY_LOCAL_MACHINE][" + kSubkey +
                     "][InstallPath]"},
                    1, false}),
    CaseName<FailureCase>);

// --- A successful run: the program's parameters, directory and deletion.
struct ParametersCase {
  const char* what;
  const char* cmdline;  // the element, or null for none
  const char* tail;     // what the program received
};

class UrlRunParameters : public UrlRunTest, public testing::WithParamInterface<ParametersCase> {};

TEST_P(UrlRunParameters, RunsTheProgramInTheTemporaryDirectoryAndDeletesIt) {
  const ParametersCase& c = GetParam();
  ProgramWritesInstallPath();
  const std::string cmdline = c.cmdline ? std::string("<cmdline>") + c.cmdline + "</cmdline>" : "";
  EXPECT_EQ(0, Run(Served(kLumenoComma) + kTitleStatus + "<hidden>1</hidden>" + cmdline));
  const unsigned long long ended = FixtureClockNow();
  EXPECT_EQ(Messages{}, Reported());

  const std::vector<FixtureRecord> runs = orders_.Runs();
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(c.tail, Field(runs[0], "tail"));
  EXPECT_EQ("<target>", Normalised(Field(runs[0], "path")));
  EXPECT_EQ(0, _stricmp(temp_.substr(0, temp_.size() - 1).c_str(), Field(runs[0], "cwd").c_str()))
      << Field(runs[0], "cwd");
  // Deleted after a second's pause once the program had ended.
  const unsigned long long started = std::stoull(Field(runs[0], "started"));
  EXPECT_GE(ended - started, 1000ull * 10000) << "less than a second after the program's start";
  EXPECT_EQ(Messages{}, ListDirectory(temp_));
  // The install path the program wrote, read again.
  EXPECT_EQ(install_ + "\\", std::string(gInstallPath));
  EXPECT_EQ(1, server_.RequestCount(std::string("/files/") + kLumenoComma.file));
}

INSTANTIATE_TEST_SUITE_P(
    Cmdline, UrlRunParameters,
    testing::Values(ParametersCase{"one means the caller command line", "1", kCaller},
                    ParametersCase{"other text as it is", "--mode quiet \"C:\\a b\"",
                                   "--mode quiet \"C:\\a b\""},
                    ParametersCase{"none means no parameters", nullptr, ""}),
    CaseName<ParametersCase>);

// --- The file between the publisher check and the program's start.
TEST_F(UrlRunTest, NobodyCanReplaceOrDeleteTheAcceptedProgramBeforeItStarts) {
  ProgramWritesInstallPath();
  // The attacker works where nothing holds the file.
  const std::string loose = dir_.path() + "loose.exe";
  ASSERT_TRUE(WriteWholeFile(loose, "program"));
  EXPECT_EQ("write=0 rename=0 delete=0\r\n",
            RunProcess(Quote(BuiltProgram("file_attacker.exe")) + " " + Quote(loose)).output);

  std::string attack;
  gOnAccepted = [&](const char* target) {
    attack = RunProcess(Quote(BuiltProgram("file_attacker.exe")) + " " + Quote(target)).output;
  };
  EXPECT_EQ(0, Run(Served(kKorvex) + kTitleStatus + "<hidden>1</hidden>"));
  EXPECT_EQ("write=32 rename=32 delete=32\r\n", attack) << "the accepted program was not held";
  // What ran is what was checked.
  EXPECT_EQ(1u, orders_.Runs().size());
  EXPECT_EQ(Messages{}, ListDirectory(temp_));
}

// --- The download target: a temporary directory of 246 characters (the
// longest GetTempFileNameA takes) gets its "plr" name; one longer, up to the
// 259 that GetTempPathA can give, gets none, and the download fails.
TEST_F(UrlRunTest, TemporaryDirectoryUpToTheLongestThatTakesATemporaryName) {
  ProgramWritesInstallPath();
  const struct {
    size_t length;  // with its backslash
    int result;
    Messages reports;
  } cases[] = {
      {246, 0, {}},
      {247, -1, {"Downloader - URLDownloadToFile(<src>) failed, -2147024809",
                 "DOWNLOAD CANCELED OR ENCOUNTERED ERROR"}},
      {259, -1, {"Downloader - URLDownloadToFile(<src>) failed, -2147024809",
                 "DOWNLOAD CANCELED OR ENCOUNTERED ERROR"}},
  };
  size_t runs = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string directory = temp_ + std::string(c.length - temp_.size() - 1, 'd') + "\\";
    ASSERT_EQ(c.length, directory.size());
    ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", directory.c_str()));
    gReports.clear();
    EXPECT_EQ(c.result, Run(Hidden(kKorvex)));
    Messages expected = c.reports;
    for (std::string& text : expected)
      if (text.find("<src>") != std::string::npos) text.replace(text.find("<src>"), 5, src_);
    EXPECT_EQ(expected, Reported());
    EXPECT_EQ(runs += c.result == 0, orders_.Runs().size());
    if (c.result == 0) {
      EXPECT_EQ(0u, Field(orders_.Runs().back(), "path").find(directory + "plr"));
    }
    EXPECT_EQ(Messages{}, ListDirectory(directory)) << "left in the temporary directory";
    RemoveDirectoryA(directory.c_str());
  }
}

TEST_F(UrlRunTest, AProgramThatCannotBeDeletedAfterItsRunIsReportedAndTheEventGoesOn) {
  ProgramWritesInstallPath();
  std::unique_ptr<HeldFile> reader;
  std::string target;
  gOnAccepted = [&](const char* path) {
    target = path;
    // A reader that stays after the run: the file can start, not be deleted.
    reader.reset(new HeldFile(path, HeldFile::Share::kReader));
  };
  EXPECT_EQ(0, Run(Served(kLumenoPeriod) + kTitleStatus + "<hidden>1</hidden>"));
  ASSERT_TRUE(reader && reader->held());
  EXPECT_EQ(Messages{"Unable to delete <target>, GetLastError()=32"}, Reported());
  EXPECT_EQ(1u, orders_.Runs().size());
  reader.reset();
  EXPECT_TRUE(FileExists(target));
  DeleteFileA(target.c_str());
  EXPECT_EQ(Messages{}, ListDirectory(temp_)) << "the .TMP name is left";
}

// --- The dialog, or none: hidden "1" downloads on this thread without any
// window; every other value, none included, shows the dialog. Seen while the
// server holds the body.
struct HiddenCase {
  const char* what;
  const char* element;
  bool dialog;
};

class UrlRunHidden : public UrlRunTest, public testing::WithParamInterface<HiddenCase> {};

TEST_P(UrlRunHidden, ShowsTheDialogUnlessHiddenIsOne) {
  const HiddenCase& c = GetParam();
  ProgramWritesInstallPath();
  const DWORD self = GetCurrentProcessId();
  bool dialogSeen = false, threadSeen = false;
  std::string title, status;
  std::thread watch([&] {
    EXPECT_TRUE(server_.WaitForLine("held "));
    HWND dialog = nullptr;
    if (c.dialog) {
      EXPECT_TRUE(WaitFor([&] {
        return (dialog = FindDialog(self, IDC_DOWNLOAD_PROGRESS)) != nullptr;
      }));
    }
    dialogSeen = FindDialog(self, IDC_DOWNLOAD_PROGRESS, true) != nullptr;
    // The dialog keeps its request, with the running download, in its window.
    const auto* request =
        dialog ? reinterpret_cast<const DownloadRequest*>(GetWindowLongPtrA(dialog, GWLP_USERDATA))
               : nullptr;
    threadSeen = request && request->job && request->job->thread;
    title = WindowText(dialog);
    status = DialogItemText(dialog, IDC_DOWNLOAD_STATUS);
    server_.Resume();
  });
  EXPECT_EQ(0, Run(Served(kTessaly, "?hold=100000") + kTitleStatus + c.element));
  watch.join();
  EXPECT_EQ(c.dialog, dialogSeen);
  EXPECT_EQ(c.dialog, threadSeen);
  EXPECT_EQ(c.dialog ? "Test title" : "", title);
  EXPECT_EQ(c.dialog ? "Getting it" : "", status);
  EXPECT_EQ(1u, orders_.Runs().size());
}

INSTANTIATE_TEST_SUITE_P(
    Values, UrlRunHidden,
    testing::Values(HiddenCase{"one", "<hidden>1</hidden>", false},
                    HiddenCase{"absent", "", true},
                    HiddenCase{"empty", "<hidden></hidden>", true},
                    HiddenCase{"zero", "<hidden>0</hidden>", true},
                    HiddenCase{"eleven", "<hidden>11</hidden>", true}),
    CaseName<HiddenCase>);

}  // namespace
