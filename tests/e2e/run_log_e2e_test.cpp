// The run log end to end: a bootstrapper with a payload of the default
// payload's kind (the mutex guard, RUN of child_program.exe, CALLERCOPY,
// COPY, RUNAPPS) that ends on a FAILONMUTEX, so that the run has reports and
// an exit code of its own, run with "lumenolog" set each way.
#include <windows.h>

#include <gtest/gtest.h>

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
const std::vector<std::string> kReports = {
    "Failing because mutex named RunLogE2E exists (gLastError=7)", "Event Tag processing failed",
    "ProcessXML2 failed"};

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
    Event("RUN", "<src>LUMENO2_ADMIN.EXE</src><cmdline>1</cmdline><selfcmdline>1</selfcmdline>"
                 "<elevated>1</elevated><lumenoshutdown>1</lumenoshutdown>") +
    Event("CALLERCOPY", "<dst>LumenoSetup.exe</dst><hidden>1</hidden>") +
    Event("COPY", "<src>RELEASENOTES.TXT</src><dst>docs\\ReleaseNotes.txt</dst>") +
    Event("RUNAPPS", "") + Event("FAILONMUTEX", "<title>RunLogE2E</title><status>7</status>");

// Times, process ids and temporary names masked; the header kept apart.
std::string Masked(std::string text) {
  const std::pair<const char*, const char*> masks[] = {
      {"(^|\n)\\d+ ", "$1"}, {"(after|in) \\d+ ms", "$1 # ms"}, {"process \\d+", "process #"},
      {"LumenoUpdater_[0-9a-f]+", "LumenoUpdater_#"}};
  for (const auto& m : masks) text = std::regex_replace(text, std::regex(m.first), m.second);
  return text;
}
const std::regex kHeader(
    "\\d+ \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ (.+) version \\d+\\.\\d+\\.\\d+\\.\\d+, process "
    "(\\d+), Windows \\d+\\.\\d+\\.\\d+, 32-bit on 64-bit: (yes|no), command line: \r\n");

class RunLogScenario : public testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& d : {temp_, app_, cwd_}) ASSERT_TRUE(CreateDirectoryA(d.c_str(), nullptr));
    char tmp[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
    savedTmp_ = tmp;
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));  // the children's too
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    child_->WriteInstallPath(kSubkey, "InstallPath", app_);
    std::string installer, error;
    ASSERT_TRUE(ReadWholeFile(BuiltProgram("child_program.exe"), &installer));
    ASSERT_TRUE(WriteEditedCopy(BuiltProgram("bootstrapper.exe"), program_,
                                {{ResourceName{"PAYLOAD", "XML"}, false, Payload(kEvents)},
                                 {ResourceName{"LUMENO2_ADMIN", "EXE"}, false, installer},
                                 {ResourceName{"RELEASENOTES", "TXT"}, false, "notes"}},
                                &error))
        << error;
    installerSize_ = std::to_string(installer.size());
  }
  void TearDown() override {
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    SetEnvironmentVariableA("TMP", savedTmp_.empty() ? nullptr : savedTmp_.c_str());
  }

  static void SetLog(const std::string& data) {
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", data));
  }

  // What the log must not change: the exit code, the reports (message boxes
  // with the debug switch on), the events' effects. The process id besides.
  struct Outcome {
    DWORD exitCode, processId;
    std::vector<std::string> reports;
    size_t installerRuns;
    bool copied, callerCopied;
    std::string Text() const {
      return std::to_string(exitCode) + " " + std::to_string(reports.size()) + " reports " +
             std::to_string(copied + callerCopied) + " copies";
    }
  };
  Outcome Run(bool debug, const std::string& program = std::string()) {
    if (debug) SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug", "1");
    for (const char* f : {"docs\\ReleaseNotes.txt", "LumenoSetup.exe"}) {
      SetFileAttributesA((app_ + f).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA((app_ + f).c_str());
    }
    ErrorBoxAnswerer boxes;
    const ProcessResult r = RunProcess(Quote(program.empty() ? program_ : program), 30000, cwd_,
                                       ErrorBoxAnswerer::StartWatching, &boxes);
    boxes.Stop();
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug");
    EXPECT_FALSE(r.timedOut);
    return {r.exitCode, r.processId, boxes.texts(), child_->Runs().size(),
            FileExists(app_ + "docs\\ReleaseNotes.txt"), FileExists(app_ + "LumenoSetup.exe")};
  }

  // One run's part of a log against the run: the header, then the expected
  // text with what varies masked, and the installer's process id as it saw it.
  void ExpectLogged(const std::string& part, const Outcome& run) {
    std::smatch header;
    ASSERT_TRUE(std::regex_search(part, header, kHeader, std::regex_constants::match_continuous))
        << part;
    EXPECT_EQ(program_, header[1].str());
    EXPECT_EQ(std::to_string(run.processId), header[2].str());
    const std::string t = temp_ + "LumenoUpdater_#.exe";
    EXPECT_EQ(
        "event 1 FAILONMUTEX starts\r\nFAILONMUTEX RunLogE2E: not found\r\n"
        "event 1 FAILONMUTEX done after # ms\r\nevent 2 CREATEMUTEX starts\r\n"
        "CREATEMUTEX RunLogE2E: created\r\nevent 2 CREATEMUTEX done after # ms\r\n"
        "event 3 RUN starts\r\nRUN extracted LUMENO2_ADMIN.EXE, " + installerSize_ +
            " bytes, to " + t + " in # ms\r\nRUN starts " + t + " through the shell\r\n"
            "process # started, waiting for it\r\nprocess # exited with 0 after # ms\r\n"
            "event 3 RUN done after # ms\r\nevent 4 CALLERCOPY starts\r\nCALLERCOPY " + program_ +
            " to " + app_ + "LumenoSetup.exe\r\nevent 4 CALLERCOPY done after # ms\r\n"
            "event 5 COPY starts\r\nCOPY RELEASENOTES.TXT to " + app_ + "docs\\ReleaseNotes.txt\r\n"
            "event 5 COPY done after # ms\r\nevent 6 RUNAPPS starts\r\nRUNAPPS in " + app_ +
            ": application [], detector []\r\nevent 6 RUNAPPS done after # ms\r\n"
            "event 7 FAILONMUTEX starts\r\nFAILONMUTEX RunLogE2E: it exists\r\n" + kReports[0] +
            "\r\nevent 7 FAILONMUTEX failed after # ms\r\n" + kReports[1] + "\r\n" + kReports[2] +
            "\r\nexit code 7 after # ms\r\n",
        Masked(header.suffix().str()));
    std::smatch child;
    ASSERT_TRUE(std::regex_search(part, child, std::regex("process (\\d+) started")));
    EXPECT_EQ(Field(child_->Runs().at(run.installerRuns - 1), "pid"), child[1].str());
  }

  UnmanagedWindows unmanaged_{kVariantName};
  RegistryValueGuard debugGuard_{HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug"};
  RegistryValueGuard logGuard_{HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog"};
  ScratchDir dir_{"rloge2e"};
  std::string temp_ = dir_.path() + "temp\\", app_ = dir_.path() + "app\\",
              cwd_ = dir_.path() + "cwd\\", program_ = dir_.path() + kVariantName;
  std::string installerSize_, savedTmp_;
  std::unique_ptr<ChildOrders> child_ = std::make_unique<ChildOrders>(dir_.path() + "child.log");
};

// Each run appends its header, events, reports and end, after renaming a log
// over 1 MiB to <name>.1 (replacing an older one); one of 1 MiB exactly is
// appended to. "1" puts the log into the temporary directory.
TEST_F(RunLogScenario, EachRunAppendsWhatItDid) {
  const std::string path = dir_.path() + "run.log", inTemp = temp_ + "LumenoSetup.log";
  const std::string over(1024 * 1024 + 1, 'o'), exact(1024 * 1024, 'e');
  ASSERT_TRUE(WriteWholeFile(path, over) && WriteWholeFile(path + ".1", "older") &&
              WriteWholeFile(inTemp, exact));
  SetLog(path);
  const Outcome first = Run(false), second = Run(false);
  SetLog("1");
  const Outcome third = Run(false);
  std::string text, older, temp;
  ASSERT_TRUE(ReadWholeFile(path, &text) && ReadWholeFile(path + ".1", &older) &&
              ReadWholeFile(inTemp, &temp));
  EXPECT_TRUE(older == over) << older.size() << " bytes in .1";
  EXPECT_EQ(0u, first.reports.size() + second.reports.size() + third.reports.size()) << "a box";
  const size_t split = text.find("\r\n", text.find("exit code 7")) + 2;
  ExpectLogged(text.substr(0, split), first);
  ExpectLogged(text.substr(split), second);
  ASSERT_TRUE(temp.compare(0, exact.size(), exact) == 0) << "the 1 MiB log was not kept";
  ExpectLogged(temp.substr(exact.size()), third);
  EXPECT_FALSE(FileExists(inTemp + ".1"));
}

// No log, and a log that cannot be opened or written, leave the run as it is.
TEST_F(RunLogScenario, NoLogOrAFailingOneChangesNothing) {
  const Outcome baseline = Run(true);
  ASSERT_EQ("7 3 reports 2 copies", baseline.Text());
  ASSERT_EQ(kReports, baseline.reports);
  const std::string held = dir_.path() + "held.log";
  ASSERT_TRUE(WriteWholeFile(held, "held"));
  UniqueHandle holder(CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ULARGE_INTEGER size = {};
  const bool smallT = GetDiskFreeSpaceExA("T:\\", nullptr, &size, nullptr) && size.QuadPart < 2 << 20;
  if (smallT) {
    RemoveTree("T:\\");
    WriteWholeFile("T:\\filler", std::string(2 << 20, 'f'));  // fills it
  }
  const std::pair<const char*, std::string> cases[] = {
      {"no value", ""}, {"a DWORD", ""}, {"an empty string", ""},
      {"an expandable string", ""}, {"a relative path", "run.log"},
      {"a missing directory", dir_.path() + "missing\\run.log"}, {"a held file", held},
      {"a path with no room for .1", dir_.path() + std::string(258 - dir_.path().size(), 'n')},
      {"a full disk", smallT ? "T:\\run.log" : "run.log"}};
  size_t runs = baseline.installerRuns;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    const std::string what = c.first;
    if (what == "no value") DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog");
    else if (what == "a DWORD") SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", 1);
    else if (what == "an expandable string")
      SetRegistryBytes(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenolog", REG_EXPAND_SZ, "1", 2);
    else SetLog(c.second);
    const Outcome outcome = Run(true);
    EXPECT_EQ(baseline.Text(), outcome.Text());
    EXPECT_EQ(kReports, outcome.reports);
    EXPECT_EQ(++runs, outcome.installerRuns);
    EXPECT_EQ(std::vector<std::string>{}, ListDirectory(cwd_));
  }
  holder.Close();
  std::string text;
  EXPECT_TRUE(ReadWholeFile(held, &text) && text == "held") << text;
  EXPECT_EQ((std::vector<std::string>{"app", "child.log", "cwd", "held.log", kVariantName, "temp"}),
            ListDirectory(dir_.path()));
  EXPECT_EQ(std::vector<std::string>{}, ListDirectory(temp_));
  if (smallT) RemoveTree("T:\\");
  // As the disk-full tests do where the fixture could not mount the drive.
  if (!smallT) GTEST_SKIP() << "drive T: is not the 1 MiB tmpfs (files_tmpfs_drive needs root "
                               "and mount): every case ran but the full disk";
}

// Killed in the middle of its walk, a run leaves whole lines only; a report
// longer than its buffer (TEMPDELETE's with a 3,000-character src) ends with
// an ellipsis. Before the log, a mutex that cannot be created is logged too.
TEST_F(RunLogScenario, WholeLinesWhenKilledAndFromTheStart) {
  std::string events = Event("TEMPDELETE", "<src>" + std::string(3000, 'x') + "</src>");
  for (int i = 0; i < 4000; ++i) events += Event("TEMPDELETE", "<src>none.tmp</src>");
  const std::string killed = dir_.path() + "killed_setup.exe";
  std::string path = dir_.path() + "killed.log";
  std::string error, text;
  ASSERT_TRUE(WriteEditedCopy(BuiltProgram("bootstrapper.exe"), killed,
                              {{ResourceName{"PAYLOAD", "XML"}, false, Payload(events)}}, &error));
  SetLog(path);
  struct Kill {
    std::string log;
    bool done;
  } kill{path, false};
  const ProcessResult result = RunProcess(Quote(killed), 30000, cwd_, [](DWORD id, void* context) {
    auto* k = static_cast<Kill*>(context);
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    for (ULONGLONG end = GetTickCount64() + 20000; !k->done && GetTickCount64() < end; Sleep(1)) {
      WIN32_FILE_ATTRIBUTE_DATA data = {};
      if (GetFileAttributesExA(k->log.c_str(), GetFileExInfoStandard, &data) &&
          data.nFileSizeLow > 20000)
        k->done = TerminateProcess(process.get(), 0x4B1) != FALSE;
    }
  }, &kill);
  ASSERT_TRUE(kill.done && result.exitCode == 0x4B1) << "not killed mid-walk";
  ASSERT_TRUE(ReadWholeFile(path, &text));
  const std::string tempDelete = std::regex_replace(temp_, std::regex("\\\\"), "\\\\");
  const std::regex line("\\d+ (event \\d+ TEMPDELETE (starts|done after \\d+ ms)|TEMPDELETE " +
                        tempDelete + "none\\.tmp|TEMPDELETE path too long: x{2021}\\.\\.\\.)\r\n");
  std::smatch header;
  ASSERT_TRUE(std::regex_search(text, header, std::regex("[^\r\n]*\r\n")));
  size_t lines = 0;
  for (size_t at = header.length(); at < text.size(); ++lines) {
    const std::string one = text.substr(at, text.find('\n', at) + 1 - at);  // to the end if cut
    ASSERT_TRUE(std::regex_match(one, line)) << "line " << lines << ": " << one;
    at += one.size();
  }
  EXPECT_GT(lines, 300u);

  const UniqueHandle taken(CreateEventA(nullptr, TRUE, FALSE, "Lumeno2Installing"));
  SetLog(path = dir_.path() + "mutex.log");
  EXPECT_EQ(0xFFFFFFFFu, Run(false).exitCode);
  ASSERT_TRUE(ReadWholeFile(path, &text));
  EXPECT_TRUE(std::regex_match(text, std::regex("\\d+ .*\r\n\\d+ Could not create mutex--Tarnwick "
                                                "already running\\?\\?\\?\r\n\\d+ exit code -1 after \\d+ ms\r\n")))
      << text;
}

}  // namespace
