// The run log end to end: a bootstrapper with a payload of the default
// payload's kind (the mutex guard, RUN of child_program.exe as its installer,
// CALLERCOPY, COPY, RUNAPPS), ending on a FAILONMUTEX so that the run has
// reports and an exit code of its own, run with "lumenolog" set each way.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "bootstrapper_run.h"
#include "child_program/child_orders.h"
#include "message_boxes.h"
#include "process.h"
#include "registry_guard.h"
#include "resource_pack.h"
#include "scratch_dir.h"

namespace {

constexpr char kSubkey[] = "SOFTWARE\\BootstrapperTests\\RunLogE2E";
constexpr char kVariantName[] = "run_log_e2e_setup.exe";
constexpr DWORD kRunLimitMs = 30000;
constexpr DWORD kKilled = 0x4B1;
const std::vector<std::string> kReports = {"Failing because mutex named RunLogE2E exists "
                                           "(gLastError=7)",
                                           "Event Tag processing failed", "ProcessXML2 failed"};

std::string Event(const std::string& type, const std::string& attributes) {
  return "<event><type>" + type + "</type>" + attributes + "</event>";
}

std::string Payload(const std::string& events) {
  return std::string("<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>") + kSubkey +
         "</subkey><installkey>InstallPath</installkey>" + events + "</payload>";
}

const std::string kEvents =
    Event("FAILONMUTEX", "<title>RunLogE2E</title><status>3</status>") +
    Event("CREATEMUTEX", "<title>RunLogE2E</title>") +
    Event("RUN",
          "<src>LUMENO2_ADMIN.EXE</src><cmdline>1</cmdline><selfcmdline>1</selfcmdline>"
          "<elevated>1</elevated><lumenoshutdown>1</lumenoshutdown>") +
    Event("CALLERCOPY", "<dst>LumenoSetup.exe</dst><hidden>1</hidden>") +
    Event("COPY", "<src>RELEASENOTES.TXT</src><dst>docs\\ReleaseNotes.txt</dst>") +
    Event("RUNAPPS", "") + Event("FAILONMUTEX", "<title>RunLogE2E</title><status>7</status>");

// What can vary between runs (times, process ids, temporary names) masked.
std::string Masked(std::string text) {
  static const std::pair<std::regex, const char*> masks[] = {
      {std::regex("(^|\n)\\d+ "), "$1"},
      {std::regex("(after|in) \\d+ ms"), "$1 # ms"},
      {std::regex("process \\d+"), "process #"},
      {std::regex("LumenoUpdater_[0-9a-f]+\\.exe"), "LumenoUpdater_#.exe"},
  };
  for (const auto& mask : masks) text = std::regex_replace(text, mask.first, mask.second);
  return text;
}

// The header: UTC time, program, version, process id, system, command line.
const std::regex kHeader(
    "\\d+ \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ (.+) version (\\S+), process (\\d+), Windows "
    "\\d+\\.\\d+\\.\\d+, 32-bit on 64-bit: (yes|no), command line: (.*)");

class RunLogScenario : public testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& d : {temp_, app_, cwd_})
      ASSERT_TRUE(CreateDirectoryA(d.c_str(), nullptr)) << d;
    char saved[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    if (length > 0 && length < MAX_PATH) savedTmp_ = std::make_unique<std::string>(saved);
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug");
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    child_ = std::make_unique<ChildOrders>(dir_.path() + "child.log");
    child_->WriteInstallPath(kSubkey, "InstallPath", app_);
    std::string installer;
    ASSERT_TRUE(ReadWholeFile(BuiltProgram("child_program.exe"), &installer));
    std::string error;
    ASSERT_TRUE(WriteEditedCopy(BuiltProgram("bootstrapper.exe"), program_,
                                {{ResourceName{"PAYLOAD", "XML"}, false, Payload(kEvents)},
                                 {ResourceName{"LUMENO2_ADMIN", "EXE"}, false, installer},
                                 {ResourceName{"RELEASENOTES", "TXT"}, false, "notes"}},
                                &error))
        << error;
    installerSize_ = installer.size();
  }

  void TearDown() override {
    child_.reset();
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    SetEnvironmentVariableA("TMP", savedTmp_ ? savedTmp_->c_str() : nullptr);
  }

  // What a run did that the log must not change: its exit code, its reports
  // (the debug switch's message boxes when on) and its events' effects.
  struct Outcome {
    DWORD exitCode = 0;
    DWORD processId = 0;
    std::vector<std::string> boxes;
    size_t installerRuns = 0;
    bool copied = false;
    bool callerCopied = false;
    bool operator==(const Outcome& o) const {
      return exitCode == o.exitCode && boxes == o.boxes && installerRuns == o.installerRuns &&
             copied == o.copied && callerCopied == o.callerCopied;
    }
  };

  Outcome Run(bool debug) {
    if (debug)
      EXPECT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug", "1"));
    else
      DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug");
    DeleteFileA((app_ + "docs\\ReleaseNotes.txt").c_str());
    SetFileAttributesA((app_ + "LumenoSetup.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((app_ + "LumenoSetup.exe").c_str());
    ErrorBoxAnswerer boxes;
    const ProcessResult result = RunProcess(Quote(program_), kRunLimitMs, cwd_,
                                            ErrorBoxAnswerer::StartWatching, &boxes);
    boxes.Stop();
    EXPECT_FALSE(result.timedOut);
    Outcome outcome;
    outcome.exitCode = result.exitCode;
    outcome.processId = result.processId;
    outcome.boxes = boxes.texts();
    outcome.installerRuns = child_->Runs().size();
    outcome.copied = FileExists(app_ + "docs\\ReleaseNotes.txt");
    outcome.callerCopied = FileExists(app_ + "LumenoSetup.exe");
    return outcome;
  }

  // The log of one run after its header, masked.
  std::string ExpectedAfterHeader() const {
    const std::string temporary = temp_ + "LumenoUpdater_#.exe";
    return "event 1 FAILONMUTEX starts\r\n"
           "FAILONMUTEX RunLogE2E: not found\r\n"
           "event 1 FAILONMUTEX done after # ms\r\n"
           "event 2 CREATEMUTEX starts\r\n"
           "CREATEMUTEX RunLogE2E: created\r\n"
           "event 2 CREATEMUTEX done after # ms\r\n"
           "event 3 RUN starts\r\n"
           "RUN extracted LUMENO2_ADMIN.EXE, " + std::to_string(installerSize_) + " bytes, to " +
           temporary + " in # ms\r\n"
           "RUN starts " + temporary + " through the shell\r\n"
           "process # started, waiting for it\r\n"
           "process # exited with 0 after # ms\r\n"
           "event 3 RUN done after # ms\r\n"
           "event 4 CALLERCOPY starts\r\n"
           "CALLERCOPY " + program_ + " to " + app_ + "LumenoSetup.exe\r\n"
           "event 4 CALLERCOPY done after # ms\r\n"
           "event 5 COPY starts\r\n"
           "COPY RELEASENOTES.TXT to " + app_ + "docs\\ReleaseNotes.txt\r\n"
           "event 5 COPY done after # ms\r\n"
           "event 6 RUNAPPS starts\r\n"
           "RUNAPPS in " + app_ + ": application [], detector []\r\n"
           "event 6 RUNAPPS done after # ms\r\n"
           "event 7 FAILONMUTEX starts\r\n"
           "FAILONMUTEX RunLogE2E: it exists\r\n" +
           kReports[0] + "\r\n"
           "event 7 FAILONMUTEX failed after # ms\r\n" +
           kReports[1] + "\r\n" + kReports[2] + "\r\n"
           "exit code 7 after # ms\r\n";
  }

  // Checks one run's part of a log (from its header on) against the run.
  // run: the installer's run (from 0) that this run of the bootstrapper made.
  void ExpectRunLogged(const std::string& part, const Outcome& outcome, size_t run) const {
    const size_t headerEnd = part.find("\r\n");
    std::smatch header;
    const std::string headerLine = part.substr(0, headerEnd);
    ASSERT_TRUE(std::regex_match(headerLine, header, kHeader)) << headerLine;
    EXPECT_EQ(program_, header[1].str());
    EXPECT_TRUE(std::regex_match(header[2].str(), std::regex("\\d+\\.\\d+\\.\\d+\\.\\d+")))
        << header[2];
    EXPECT_EQ(std::to_string(outcome.processId), header[3].str());
    EXPECT_EQ("", header[5].str());
    EXPECT_EQ(ExpectedAfterHeader(), Masked(part.substr(headerEnd + 2)));
    // The child's own id, as it recorded it.
    std::smatch child;
    ASSERT_TRUE(std::regex_search(part, child, std::regex("process (\\d+) started")));
    EXPECT_EQ(Field(child_->Runs().at(run), "pid"), child[1].str());
  }

  UnmanagedWindows unmanaged_{kVariantName};
  RegistryValueGuard debugGuard_{HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug"};
  RegistryValueGuard logGuard_{HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog"};
  ScratchDir dir_{"rloge2e"};
  std::string temp_ = dir_.path() + "temp\\";
  std::string app_ = dir_.path() + "app\\";
  std::string cwd_ = dir_.path() + "cwd\\";
  std::string program_ = dir_.path() + kVariantName;
  size_t installerSize_ = 0;
  std::unique_ptr<std::string> savedTmp_;
  std::unique_ptr<ChildOrders> child_;
};

// With a path each run appends its header, its events and reports and its
// end; "1" puts the log into the temporary directory.
TEST_F(RunLogScenario, EachRunAppendsWhatItDid) {
  const std::string path = dir_.path() + "run.log";
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", path));
  const Outcome first = Run(false);
  const Outcome second = Run(false);
  EXPECT_EQ(7u, second.exitCode);
  std::string text;
  ASSERT_TRUE(ReadWholeFile(path, &text));
  const size_t secondRun = text.find("exit code 7 after ");
  ASSERT_NE(std::string::npos, secondRun) << text;
  const size_t split = text.find("\r\n", secondRun) + 2;
  {
    SCOPED_TRACE("first run");
    ExpectRunLogged(text.substr(0, split), first, 0);
  }
  {
    SCOPED_TRACE("second run");
    ExpectRunLogged(text.substr(split), second, 1);
  }

  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", "1"));
  const Outcome inTemp = Run(false);
  ASSERT_TRUE(ReadWholeFile(temp_ + "LumenoSetup.log", &text));
  SCOPED_TRACE("\"1\"");
  ExpectRunLogged(text, inTemp, 2);
}

// Without a log to write, and with one that cannot be opened or written, the
// run does exactly what it does without the value.
TEST_F(RunLogScenario, NoLogOrAFailingOneChangesNothing) {
  Outcome baseline = Run(true);
  ASSERT_EQ(7u, baseline.exitCode);
  ASSERT_EQ(kReports, baseline.boxes);
  ASSERT_TRUE(baseline.copied && baseline.callerCopied);

  const std::string held = dir_.path() + "held.log";
  ASSERT_TRUE(WriteWholeFile(held, "held"));
  UniqueHandle holder(CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder.valid());
  ULARGE_INTEGER total = {};
  const bool smallDrive = GetDiskFreeSpaceExA("T:\\", nullptr, &total, nullptr) &&
                          total.QuadPart < 2 * 1024 * 1024;
  if (smallDrive) {
    RemoveTree("T:\\");
    WriteWholeFile("T:\\filler.bin", std::string(2 * 1024 * 1024, 'f'));  // fills it
  }
  const struct {
    const char* what;
    std::function<void()> set;
  } cases[] = {
      {"no value", [] { DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog"); }},
      {"a DWORD", [] { SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", 1); }},
      {"an empty string",
       [] { SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", ""); }},
      {"a relative path",
       [] { SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", "run.log"); }},
      {"a missing directory",
       [this] {
         SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog",
                           dir_.path() + "missing\\run.log");
       }},
      {"a file held exclusively",
       [&] { SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", held); }},
      {"a full disk",
       [] { SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", "T:\\run.log"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) == "a full disk" && !smallDrive) {
      ADD_FAILURE() << "drive T: is not the small tmpfs (the files_tmpfs_drive fixture needs root "
                       "and mount): the full disk was not tried";
      continue;
    }
    ++baseline.installerRuns;
    c.set();
    const Outcome outcome = Run(true);
    EXPECT_TRUE(outcome == baseline)
        << "exit code " << outcome.exitCode << ", " << outcome.boxes.size() << " reports, "
        << outcome.installerRuns << " installer runs, copied " << outcome.copied << "/"
        << outcome.callerCopied;
    EXPECT_EQ(std::vector<std::string>{}, ListDirectory(cwd_));
    EXPECT_FALSE(FileExists(temp_ + "LumenoSetup.log"));
  }
  holder.Close();
  std::string text;
  EXPECT_TRUE(ReadWholeFile(held, &text) && text == "held") << text;
  EXPECT_EQ((std::vector<std::string>{"app", "child.log", "cwd", "held.log", kVariantName,
                                      "temp"}),
            ListDirectory(dir_.path()));
  if (smallDrive) {
    // Whatever the full disk took of the log is whole lines only.
    if (ReadWholeFile("T:\\run.log", &text) && !text.empty()) {
      EXPECT_EQ("\r\n", text.substr(text.size() - 2));
    }
    RemoveTree("T:\\");
  }
}

// A run killed in the middle of its walk leaves only whole lines.
TEST_F(RunLogScenario, AKilledRunLeavesWholeLines) {
  std::string events;
  for (int i = 0; i < 4000; ++i) events += Event("TEMPDELETE", "<src>none.tmp</src>");
  const std::string killed = dir_.path() + "killed_setup.exe";
  std::string error;
  ASSERT_TRUE(WriteEditedCopy(BuiltProgram("bootstrapper.exe"), killed,
                              {{ResourceName{"PAYLOAD", "XML"}, false, Payload(events)}}, &error))
      << error;
  const std::string path = dir_.path() + "killed.log";
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", path));
  struct Kill {
    std::string log;
    bool done = false;
  } kill{path};
  const ProcessResult result = RunProcess(
      Quote(killed), kRunLimitMs, cwd_,
      [](DWORD processId, void* context) {
        auto* k = static_cast<Kill*>(context);
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
        const ULONGLONG deadline = GetTickCount64() + 20000;
        while (GetTickCount64() < deadline) {
          WIN32_FILE_ATTRIBUTE_DATA data = {};
          if (GetFileAttributesExA(k->log.c_str(), GetFileExInfoStandard, &data) &&
              data.nFileSizeLow > 20000) {
            k->done = TerminateProcess(process.get(), kKilled) != FALSE;
            return;
          }
          Sleep(1);
        }
      },
      &kill);
  ASSERT_TRUE(kill.done) << "the log never grew";
  EXPECT_EQ(kKilled, result.exitCode);
  std::string text;
  ASSERT_TRUE(ReadWholeFile(path, &text));
  EXPECT_EQ(std::string::npos, text.find("exit code ")) << "the walk ended before the kill";
  const std::regex line("\\d+ (event \\d+ TEMPDELETE (starts|done after \\d+ ms)|TEMPDELETE " +
                        std::regex_replace(temp_, std::regex("\\\\"), "\\\\") + "none\\.tmp)");
  ASSERT_EQ("\r\n", text.substr(text.size() - 2)) << "the last line is cut";
  size_t lines = 0;
  for (size_t at = text.find("\r\n") + 2; at < text.size(); ++lines) {
    const size_t end = text.find("\r\n", at);
    const std::string one = text.substr(at, end - at);
    ASSERT_TRUE(std::regex_match(one, line)) << "line " << lines << ": " << one;
    at = end + 2;
  }
  EXPECT_GT(lines, 300u);
}

}  // namespace
