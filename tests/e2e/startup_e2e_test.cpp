// Start-up end to end: each test packs the built bootstrapper with a payload
// of its own, runs it as a real process and reads back its exit code, its
// standard output, its message boxes and the registry values it keeps.
#include <gtest/gtest.h>

#include "base/unique_handle.h"
#include "bootstrapper_run.h"
#include "message_boxes.h"
#include "process.h"
#include "registry_guard.h"
#include "scratch_dir.h"

namespace {

constexpr char kInstallerKey[] = "SOFTWARE\\Korvex\\Lumeno\\";
constexpr char kInstallerValue[] = "OriginalInstallerPath";
constexpr DWORD kRunLimitMs = 10000;
constexpr DWORD kFailedWalk = 0xFFFFFFFF;  // -1

std::string Payload(const std::string& events) {
  return "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey>"
         "<subkey>SOFTWARE\\Korvex\\Lumeno\\E2E</subkey><installkey>InstallPath</installkey>" +
         events + "</payload>";
}

std::string Event(const std::string& type, const std::string& attributes = std::string()) {
  return "<event><type>" + type + "</type>" + attributes + "</event>";
}

std::string FailOnMutex(const std::string& name, const std::string& status) {
  return Event("FAILONMUTEX", "<title>" + name + "</title><status>" + status + "</status>");
}

std::string CreateMutexEvent(const std::string& name) {
  return Event("CREATEMUTEX", "<title>" + name + "</title>");
}

const std::string kLayoutFailure =
    "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><installkey>I</installkey></payload>";

// A name no other test or run uses.
std::string UniqueName(const char* tag) {
  return std::string("BootstrapperE2E_") + tag + "_" + std::to_string(GetCurrentProcessId()) +
         "_" + std::to_string(GetTickCount64());
}

// Every variant has this file name, each in a directory of its own.
constexpr char kVariantName[] = "startup_e2e_setup.exe";

class StartupScenario : public testing::Test {
 protected:
  void SetUp() override {
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug");
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, kInstallerKey, kInstallerValue);
  }

  std::string Variant(const std::string* payload) {
    const std::string directory = dir_.path() + std::to_string(++variants_) + "\\";
    EXPECT_TRUE(CreateDirectoryA(directory.c_str(), nullptr)) << directory;
    const std::string path = directory + kVariantName;
    PackBootstrapper(path, payload);
    return path;
  }
  std::string Variant(const std::string& payload) { return Variant(&payload); }

  static ProcessResult Run(const std::string& program) {
    ProcessResult result = RunProcess(Quote(program), kRunLimitMs);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    return result;
  }

  // Runs with the debug switch's message boxes answered and recorded.
  static ProcessResult RunAnswering(const std::string& program, ErrorBoxAnswerer* answerer) {
    ProcessResult result = RunProcess(Quote(program), kRunLimitMs, std::string(),
                                      ErrorBoxAnswerer::StartWatching, answerer);
    answerer->Stop();
    EXPECT_FALSE(result.timedOut);
    return result;
  }

  static bool InstallerPath(std::string* value) {
    return ReadRegistryString(HKEY_LOCAL_MACHINE, kInstallerKey, kInstallerValue, value);
  }

  void DebugOn() {
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug", "1"));
  }

  UnmanagedWindows unmanaged_{kVariantName};
  RegistryValueGuard debugGuard_{HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug"};
  RegistryValueGuard pathGuard_{HKEY_LOCAL_MACHINE, kInstallerKey, kInstallerValue};
  ScratchDir dir_{"e2e"};
  int variants_ = 0;
};

TEST_F(StartupScenario, ExitCodeTellsHowTheWalkEnded) {
  const std::string held = UniqueName("held");
  const UniqueHandle heldMutex(CreateMutexA(nullptr, FALSE, held.c_str()));
  ASSERT_NE(nullptr, heldMutex.get());
  // A mutex name already taken by an event object cannot be created.
  const std::string taken = UniqueName("event");
  const UniqueHandle takenName(CreateEventA(nullptr, TRUE, FALSE, taken.c_str()));
  ASSERT_NE(nullptr, takenName.get());
  const std::string own = UniqueName("own");
  const std::string free = UniqueName("free");

  struct Case {
    const char* what;
    std::string payload;
    DWORD exitCode;
  };
  const Case cases[] = {
      {"no events", Payload(""), 0},
      {"completed walk", Payload(CreateMutexEvent(free) + FailOnMutex(free + "x", "4")), 0},
      {"FAILONMUTEX status 12", Payload(FailOnMutex(held, "12")), 12},
      {"FAILONMUTEX status -2", Payload(FailOnMutex(held, "-2")), 0xFFFFFFFE},
      {"FAILONMUTEX status 0", Payload(FailOnMutex(held, "0")), 0},
      {"FAILONMUTEX on the run's own mutex",
       Payload(CreateMutexEvent(own) + FailOnMutex(own, "5") + Event("RUNAPPS")), 5},
      {"layout failure", kLayoutFailure, kFailedWalk},
      {"unknown type", Payload(Event("createmutex", "<title>x</title>")), kFailedWalk},
      {"empty type", Payload(Event("")), kFailedWalk},
      {"failing CREATEMUTEX", Payload(CreateMutexEvent(taken)), kFailedWalk},
  };
  for (const Case& c : cases) {
    const ProcessResult result = Run(Variant(c.payload));
    EXPECT_EQ(c.exitCode, result.exitCode) << c.what;
    std::string left;
    EXPECT_FALSE(InstallerPath(&left)) << c.what << ": left " << left;
  }
}

TEST_F(StartupScenario, MissingPayloadExitsMinusOneAndLeavesTheValueItWrote) {
  const std::string program = Variant(nullptr);
  const ProcessResult result = Run(program);
  EXPECT_EQ(kFailedWalk, result.exitCode);
  std::string value;
  ASSERT_TRUE(InstallerPath(&value));
  EXPECT_EQ(program, value);
}

TEST_F(StartupScenario, ValuePresentBeforeIsLeftAlone) {
  const std::string earlier = "C:\\elsewhere\\first setup.exe";
  ASSERT_EQ(ERROR_SUCCESS,
            SetRegistryString(HKEY_LOCAL_MACHINE, kInstallerKey, kInstallerValue, earlier));
  for (const std::string& payload : {Payload(""), kLayoutFailure}) {
    Run(Variant(payload));
    std::string value;
    ASSERT_TRUE(InstallerPath(&value));
    EXPECT_EQ(earlier, value);
  }
}

TEST_F(StartupScenario, FailedWalkHoldsItsOwnPathUntilItEnds) {
  DebugOn();
  const std::string program = Variant(kLayoutFailure);
  struct Seen {
    std::vector<std::string> texts;
    std::vector<std::string> values;  // OriginalInstallerPath while each box was up
  } seen;
  const ProcessResult result = RunProcess(
      Quote(program), kRunLimitMs, std::string(),
      [](DWORD processId, void* context) {
        auto* s = static_cast<Seen*>(context);
        s->texts = AnswerErrorBoxes(processId, kRunLimitMs, [s](const std::string&) {
          std::string value = "(absent)";
          InstallerPath(&value);
          s->values.push_back(value);
        });
      },
      &seen);
  EXPECT_EQ(kFailedWalk, result.exitCode);
  EXPECT_EQ((std::vector<std::string>{"Cant find subkey tag", "ProcessXML2 failed"}), seen.texts);
  EXPECT_EQ((std::vector<std::string>{program, program}), seen.values);
  std::string left;
  EXPECT_FALSE(InstallerPath(&left)) << "left " << left;
}

TEST_F(StartupScenario, SuccessfulWalkHoldsItsOwnPathUntilItEnds) {
  // The unclosed last event makes the walk print one line and still succeed;
  // that write is where the run is held.
  const std::string mutex = UniqueName("before");
  const std::string program =
      Variant(Payload(CreateMutexEvent(mutex) + "<event><type>CREATEMUTEX</type>"));
  std::string during = "(absent)";
  bool firstEventRan = false;
  const HeldRun run = RunHeldAtFirstOutput(Quote(program), kRunLimitMs, [&] {
    InstallerPath(&during);
    const UniqueHandle opened(OpenMutexA(SYNCHRONIZE, FALSE, mutex.c_str()));
    firstEventRan = opened.get() != nullptr;
  });
  ASSERT_TRUE(run.held);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(program, during);
  EXPECT_TRUE(firstEventRan);
  EXPECT_EQ("Failed to get data for tag: <event>\n", run.output);
  EXPECT_EQ(0u, run.exitCode);
  std::string left;
  EXPECT_FALSE(InstallerPath(&left)) << "left " << left;
}

TEST_F(StartupScenario, DebugSwitchShowsEveryMessageInOrder) {
  DebugOn();
  const std::string held = UniqueName("held");
  const UniqueHandle heldMutex(CreateMutexA(nullptr, FALSE, held.c_str()));
  const std::string taken = UniqueName("event");
  const UniqueHandle takenName(CreateEventA(nullptr, TRUE, FALSE, taken.c_str()));
  const std::string layout = kLayoutFailure;
  const std::string failOn = Payload(FailOnMutex(held, "12"));
  const std::string unknown = Payload(Event("Run"));
  const std::string failingCreate = Payload(CreateMutexEvent(taken));

  struct Case {
    const std::string* payload;
    DWORD exitCode;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {nullptr, kFailedWalk, {"Could not extract PAYLOAD.XML"}},
      {&layout, kFailedWalk, {"Cant find subkey tag", "ProcessXML2 failed"}},
      {&failOn,
       12,
       {"Failing because mutex named " + held + " exists (gLastError=12)",
        "Event Tag processing failed", "ProcessXML2 failed"}},
      {&unknown, kFailedWalk, {"Event Tag processing failed", "ProcessXML2 failed"}},
      // Windows and Wine both give ERROR_INVALID_HANDLE for a name of another kind.
      {&failingCreate,
       kFailedWalk,
       {"CreateMutex() failed, GetLastError()=6", "Event Tag processing failed",
        "ProcessXML2 failed"}},
  };
  for (const Case& c : cases) {
    ErrorBoxAnswerer answerer;
    const ProcessResult result = RunAnswering(Variant(c.payload), &answerer);
    EXPECT_EQ(c.exitCode, result.exitCode) << c.texts.front();
    EXPECT_EQ(c.texts, answerer.texts());
  }
}

TEST_F(StartupScenario, NoBoxUnlessTheSwitchIsExactlyOne) {
  const std::string program = Variant(kLayoutFailure);
  struct Setting {
    const char* what;
    DWORD type;
    std::string data;  // null: the value is absent
    bool present;
  };
  const DWORD one = 1;
  const Setting settings[] = {
      {"absent", REG_SZ, "", false},
      {"\"01\"", REG_SZ, std::string("01", 3), true},
      {"\"1 \"", REG_SZ, std::string("1 ", 3), true},
      {"DWORD 1", REG_DWORD, std::string(reinterpret_cast<const char*>(&one), sizeof one), true},
  };
  for (const Setting& s : settings) {
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug");
    if (s.present) {
      ASSERT_EQ(ERROR_SUCCESS, SetRegistryBytes(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug",
                                                s.type, s.data.data(),
                                                static_cast<DWORD>(s.data.size())));
    }
    ErrorBoxAnswerer answerer;
    const ProcessResult result = RunAnswering(program, &answerer);
    EXPECT_EQ(kFailedWalk, result.exitCode) << s.what;
    EXPECT_TRUE(answerer.texts().empty()) << s.what << ": a box said " << answerer.texts().front();
  }
}

TEST_F(StartupScenario, SecondCopyRunsItsOwnPayloadWhileTheFirstIsHeld) {
  DebugOn();
  const std::string held = UniqueName("held");
  const UniqueHandle heldMutex(CreateMutexA(nullptr, FALSE, held.c_str()));
  const std::string first = Variant(kLayoutFailure);
  const std::string second = Variant(Payload(FailOnMutex(held, "7")));

  struct Seen {
    std::string second;
    ProcessResult secondResult;
    std::vector<std::string> secondTexts;
    std::string valueAfterSecond;
  } seen;
  seen.second = second;
  const ProcessResult firstResult = RunProcess(
      Quote(first), kRunLimitMs, std::string(),
      [](DWORD processId, void* context) {
        auto* s = static_cast<Seen*>(context);
        bool ranSecond = false;
        AnswerErrorBoxes(processId, kRunLimitMs, [s, &ranSecond](const std::string&) {
          if (ranSecond) return;
          ranSecond = true;
          ErrorBoxAnswerer answerer;
          s->secondResult = RunAnswering(s->second, &answerer);
          s->secondTexts = answerer.texts();
          InstallerPath(&s->valueAfterSecond);
        });
      },
      &seen);
  EXPECT_EQ(7u, seen.secondResult.exitCode);
  EXPECT_EQ((std::vector<std::string>{
                "Failing because mutex named " + held + " exists (gLastError=7)",
                "Event Tag processing failed", "ProcessXML2 failed"}),
            seen.secondTexts);
  // The second copy found the first one's value and neither changed nor removed it.
  EXPECT_EQ(first, seen.valueAfterSecond);
  EXPECT_EQ(kFailedWalk, firstResult.exitCode);
  std::string left;
  EXPECT_FALSE(InstallerPath(&left)) << "left " << left;
}

// A message longer than the report's 2048 bytes reaches its box cut to the
// 2047 characters that fit.
TEST_F(StartupScenario, MessageLongerThanTheReportIsCutInItsBox) {
  DebugOn();
  const std::string src(2100, 's');
  ErrorBoxAnswerer answerer;
  const ProcessResult result =
      RunAnswering(Variant(Payload(Event("RUN", "<src>" + src + "</src>"))), &answerer);
  EXPECT_EQ(kFailedWalk, result.exitCode);
  EXPECT_EQ((std::vector<std::string>{("malformed SRC tag: " + src).substr(0, 2047),
                                      "Event Tag processing failed", "ProcessXML2 failed"}),
            answerer.texts());
}

// The single-instance mutex: created under exactly its name, owned by the
// run's thread, and still owned when the run ends (the next waiter finds it
// abandoned). The run is held at the line its unclosed event prints.
TEST_F(StartupScenario, SingleInstanceMutexIsOwnedUntilTheRunEnds) {
  const std::string program = Variant(Payload("<event><type>CREATEMUTEX</type>"));
  UniqueHandle mutex;
  DWORD whileRunning = WAIT_FAILED;
  const HeldRun run = RunHeldAtFirstOutput(Quote(program), kRunLimitMs, [&] {
    mutex.reset(OpenMutexA(SYNCHRONIZE, FALSE, "Lumeno2Installing"));
    if (mutex) whileRunning = WaitForSingleObject(mutex.get(), 0);
  });
  ASSERT_TRUE(run.held);
  ASSERT_TRUE(mutex.valid()) << "no mutex named Lumeno2Installing while the run went on";
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), whileRunning) << "not owned by the run";
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ(static_cast<DWORD>(WAIT_ABANDONED), WaitForSingleObject(mutex.get(), 0))
      << "the run did not own the mutex when it ended";
  ReleaseMutex(mutex.get());
}

// Another kind of object under the mutex's name: the run stops at once with
// -1, before reading the debug switch (so no box shows) and before writing
// OriginalInstallerPath.
TEST_F(StartupScenario, MutexNameTakenByAnotherObjectStopsTheRunAtOnce) {
  DebugOn();
  const UniqueHandle taken(CreateEventA(nullptr, TRUE, FALSE, "Lumeno2Installing"));
  ASSERT_TRUE(taken.valid()) << GetLastError();
  ErrorBoxAnswerer answerer;
  const ProcessResult result = RunAnswering(Variant(Payload(Event("createmutex"))), &answerer);
  EXPECT_EQ(kFailedWalk, result.exitCode);
  EXPECT_EQ(std::vector<std::string>{}, answerer.texts());
  std::string left;
  EXPECT_FALSE(InstallerPath(&left)) << "left " << left;
}

}  // namespace
