// The service launch against the real stand-in (update_service.exe, a COM
// local server) starting the real child program. Each test process starts the
// server cold and waits for its linger (CTest waits for every holder of the
// test's output), so related cases share one test and one server.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "child_program/child_orders.h"
#include "events/update_service.h"
#include "process.h"
#include "report_capture.h"
#include "scratch_dir.h"
#include "update_service/service_control.h"

namespace {

constexpr char kFailedMessage[] = "Failed to run via service.  Running normally";
constexpr char kUnavailableMessage[] = "CUpdateService unavailable";

// A program to run from a scratch directory under a temporary installer name,
// as RUN extracts it.
class ServiceLaunch : public testing::Test {
 protected:
  ServiceLaunch() : dir_("svc"), program_(dir_.path() + "LumenoUpdater_1F.exe") {}

  void SetUp() override {
    ASSERT_TRUE(CopyFileA(BuiltProgram("child_program.exe").c_str(), program_.c_str(), TRUE));
    NewOrders("first");
  }

  // Fresh orders (and logs) for the child and the service.
  void NewOrders(const std::string& tag) {
    child_.reset();
    service_.reset();
    child_ = std::make_unique<ChildOrders>(dir_.path() + tag + "-child.log");
    service_ = std::make_unique<ServiceOrdersGuard>(dir_.path() + tag + "-service.log");
  }

  // The directory the child should run in: the program's own, no trailing slash.
  std::string ProgramDirectory() const { return dir_.path().substr(0, dir_.path().size() - 1); }

  ScratchDir dir_;
  std::string program_;
  std::unique_ptr<ChildOrders> child_;
  std::unique_ptr<ServiceOrdersGuard> service_;
};

// Forwards to the real service and notes what came back, so that the test can
// see the handle that RunViaUpdateService received and closed.
class RecordingService : public IUpdateService {
 public:
  explicit RecordingService(IUpdateService* inner) : inner_(inner) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return inner_->QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE RunProgram(BSTR program, BSTR parameters, DWORD callerProcessId,
                                       ULONG_PTR* processHandle) override {
    ++calls;
    result = inner_->RunProgram(program, parameters, callerProcessId, processHandle);
    handle = reinterpret_cast<HANDLE>(*processHandle);
    DWORD flags = 0;
    handleValidOnReturn = handle && GetHandleInformation(handle, &flags) != FALSE;
    processIdOfHandle = handle ? GetProcessId(handle) : 0;
    return result;
  }

  int calls = 0;
  HRESULT result = E_UNEXPECTED;
  HANDLE handle = nullptr;
  bool handleValidOnReturn = false;
  DWORD processIdOfHandle = 0;

 private:
  IUpdateService* inner_;
};

// The service's interface, made through COM as the product makes it.
class ServiceConnection {
 public:
  ServiceConnection() {
    CoInitialize(nullptr);
    result_ = CoCreateInstance(kUpdateServiceClassId, nullptr, CLSCTX_LOCAL_SERVER,
                               kUpdateServiceInterfaceId, reinterpret_cast<void**>(&service_));
  }
  ~ServiceConnection() {
    if (service_) service_->Release();
    CoUninitialize();
  }
  HRESULT result() const { return result_; }
  IUpdateService* get() const { return service_; }

 private:
  HRESULT result_ = E_UNEXPECTED;
  IUpdateService* service_ = nullptr;
};

bool IsClosed(HANDLE handle) {
  DWORD flags = 0;
  SetLastError(0xdeadbeef);
  return !GetHandleInformation(handle, &flags) && GetLastError() == ERROR_INVALID_HANDLE;
}

TEST_F(ServiceLaunch, RunsProgramWithParametersInItsDirectoryAndSucceedsOnExitZero) {
  ReportCapture reports;
  EXPECT_TRUE(LaunchViaUpdateService(program_.c_str(), "/S /v \"two words\""));
  EXPECT_EQ(std::vector<std::string>{}, reports.errors());

  const auto runs = child_->Runs();
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(program_, Field(runs[0], "path"));
  EXPECT_EQ("/S /v \"two words\"", Field(runs[0], "tail"));
  EXPECT_EQ(Quote(program_) + " /S /v \"two words\"", Field(runs[0], "commandline"));
  EXPECT_EQ(ProgramDirectory(), Field(runs[0], "cwd"));

  const auto calls = service_->Calls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(std::to_string(GetCurrentProcessId()), Field(calls[0], "caller"));
  EXPECT_EQ(program_, Field(calls[0], "program"));
  EXPECT_EQ("/S /v \"two words\"", Field(calls[0], "parameters"));
  EXPECT_EQ(Field(runs[0], "pid"), Field(calls[0], "childpid"));
}

TEST_F(ServiceLaunch, NonZeroExitIsReportedAsFailedRun) {
  child_->ExitCode(3);
  ReportCapture reports;
  EXPECT_FALSE(LaunchViaUpdateService(program_.c_str(), ""));
  EXPECT_EQ(std::vector<std::string>{kFailedMessage}, reports.errors());
  const auto runs = child_->Runs();
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ("3", Field(runs[0], "exitcode"));
}

// The handle the service hands over refers to the started program, is valid
// in this process, and is closed again on every way out: after a good run,
// after a bad exit code, and when the wait on it fails (a handle without the
// right to wait on it).
TEST_F(ServiceLaunch, HandleIsTheProgramsAndClosedOnEveryPath) {
  const struct {
    const char* name;
    const char* mode;
    DWORD exitCode;
    bool expected;
  } cases[] = {
      {"exit0", "run", 0, true},
      {"exit3", "run", 3, false},
      {"exit-1", "run", 0xFFFFFFFF, false},
      {"waitfails", "nosynchandle", 0, false},
  };
  ServiceConnection connection;
  ASSERT_EQ(S_OK, connection.result());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NewOrders(c.name);
    child_->ExitCode(c.exitCode);
    service_->Mode(c.mode);
    RecordingService recorder(connection.get());

    EXPECT_EQ(c.expected, RunViaUpdateService(program_.c_str(), "-q", &recorder));

    ASSERT_EQ(1, recorder.calls);
    EXPECT_EQ(S_OK, recorder.result);
    ASSERT_NE(nullptr, recorder.handle);
    EXPECT_TRUE(recorder.handleValidOnReturn);
    EXPECT_TRUE(IsClosed(recorder.handle)) << "handle " << recorder.handle << " still open";
    const auto calls = service_->Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(Field(calls[0], "childpid"), std::to_string(recorder.processIdOfHandle));
  }
}

// A failing result, a null handle, a value that is no handle and the
// pseudo-handle of the caller itself all make the launch fail at once (no
// wait, no crash) with the same message; the program was not started.
TEST_F(ServiceLaunch, RefusalsFailAtOnceWithoutRunningTheProgram) {
  const char* modes[] = {"fail", "nullhandle", "badhandle", "pseudohandle"};
  for (const char* mode : modes) {
    SCOPED_TRACE(mode);
    NewOrders(mode);
    service_->Mode(mode);
    service_->FailWith(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    ReportCapture reports;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(LaunchViaUpdateService(program_.c_str(), "/S"));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(std::vector<std::string>{kFailedMessage}, reports.errors());
    EXPECT_LT(elapsed, std::chrono::seconds(20));
    EXPECT_TRUE(child_->Runs().empty());
    const auto calls = service_->Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(mode, Field(calls[0], "mode"));
  }
}

// Parameters reach the program byte for byte through two conversions (the
// caller's ANSI code page to the service's wide strings and back); empty ones
// add nothing to the command line.
TEST_F(ServiceLaunch, ParametersArriveUnchanged) {
  const std::string cases[] = {"", "/S", "/S /CALLER \"C:\\Program Files\\x.exe\"",
                               "caf\xE9 \x80 \xFF", std::string(1500, 'p')};
  int index = 0;
  for (const std::string& parameters : cases) {
    SCOPED_TRACE(parameters.substr(0, 60));
    NewOrders("parameters" + std::to_string(++index));
    ASSERT_TRUE(LaunchViaUpdateService(program_.c_str(), parameters.c_str()));
    const auto runs = child_->Runs();
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(parameters, Field(runs[0], "tail"));
    EXPECT_EQ(parameters.empty() ? Quote(program_) : Quote(program_) + " " + parameters,
              Field(runs[0], "commandline"));
  }
}

struct Unavailability {
  const char* name;
  bool missingServer;
};

void PrintTo(const Unavailability& c, std::ostream* out) { *out << c.name; }

class ServiceUnavailableLaunch : public ServiceLaunch,
                                 public testing::WithParamInterface<Unavailability> {};

// Not registered, or registered with a server file that is gone: the one
// message, no call, nothing started.
TEST_P(ServiceUnavailableLaunch, ReportsUnavailableAndMakesNoCall) {
  ServiceUnavailable unavailable(GetParam().missingServer);
  ASSERT_TRUE(unavailable.ready());
  ReportCapture reports;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(LaunchViaUpdateService(program_.c_str(), "/S"));
  const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  printf("unavailable (%s): %.3f s\n", GetParam().name, elapsed.count());
  EXPECT_EQ(std::vector<std::string>{kUnavailableMessage}, reports.errors());
  EXPECT_TRUE(service_->Calls().empty());
  EXPECT_TRUE(child_->Runs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ServiceUnavailableLaunch,
    testing::Values(Unavailability{"NotRegistered", false},
                    Unavailability{"ServerFileMissing", true}),
    [](const testing::TestParamInfo<Unavailability>& info) {
      return std::string(info.param.name);
    });

double SecondsToConnect() {
  const auto start = std::chrono::steady_clock::now();
  ServiceConnection connection;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(S_OK, connection.result());
  return seconds;
}

// Cold: no server running, COM starts one. Warm: the lingering server answers.
TEST(ServiceActivation, ColdStartIsSlowerThanWarm) {
  ASSERT_EQ(0u, RunServiceSwitch("/UnregServer"));
  ASSERT_EQ(0u, RunServiceSwitch("/RegServer"));
  const double cold = SecondsToConnect();
  const double warm = SecondsToConnect();
  printf("activation: cold %.3f s, warm %.3f s\n", cold, warm);
  RecordProperty("cold_ms", static_cast<int>(cold * 1000));
  RecordProperty("warm_ms", static_cast<int>(warm * 1000));
  EXPECT_LT(warm, cold);
  EXPECT_LT(warm, 0.5);
}

}  // namespace
