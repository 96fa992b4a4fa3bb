// The client side of the update service: the elevated launch of RUN.
#include "events/update_service.h"

#include "base/ansi_bstr.h"
#include "base/report.h"
#include "base/run_log.h"
#include "base/system_functions.h"
#include "base/unique_handle.h"
#include "events/program_exit.h"

namespace {
// Negative values are pseudo-handles (-1 is this very process): never a
// process the service started, and waiting on one would never return.
bool IsPseudoHandle(ULONG_PTR value) { return static_cast<LONG_PTR>(value) < 0; }

// Waits for the process to end and reads its exit code; the handle is closed
// on every path (a value that is no handle at all fails to close harmlessly).
// True when the process ended with 0.
bool WaitForExitCodeZero(UniqueHandle process) {
  const unsigned long id = ProcessIdOf(process.get());
  LogLine("the update service started process %lu, waiting for it", id);
  const unsigned long started = RunLogMs();
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) return false;
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.get(), &exitCode)) return false;
  LogProcessExit(id, exitCode, started);
  return exitCode == 0;
}
}  // namespace

bool RunViaUpdateService(const char* programPath, const char* parameters,
                         IUpdateService* service) {
  BstrHolder program(AnsiToBstr(programPath));
  if (!program.get() && programPath) RaiseOutOfMemory();
  BstrHolder programParameters(AnsiToBstr(parameters));
  if (!programParameters.get() && parameters) RaiseOutOfMemory();

  ULONG_PTR processHandle = 0;
  const HRESULT result = service->RunProgram(program.get(), programParameters.get(),
                                             GetCurrentProcessId(), &processHandle);
  LogLine("the update service's RunProgram gave 0x%08lx", static_cast<unsigned long>(result));
  // On a failing result the handle is undefined and is not touched.
  if (FAILED(result) || processHandle == 0 || IsPseudoHandle(processHandle)) return false;
  return WaitForExitCodeZero(UniqueHandle(reinterpret_cast<HANDLE>(processHandle)));
}

bool LaunchViaUpdateService(const char* programPath, const char* parameters) {
  // S_FALSE (this thread's apartment existed already) serves as well; only a
  // call that failed must not be balanced, or it would end another's apartment.
  // COM comes from the system directory on first use (base/system_functions);
  // without it the service is unavailable like any that cannot be created.
  const auto coInitialize = GetSystemFunction<SystemFunction::kCoInitialize>();
  const auto coCreateInstance = GetSystemFunction<SystemFunction::kCoCreateInstance>();
  const auto coUninitialize = GetSystemFunction<SystemFunction::kCoUninitialize>();
  const bool comStarted = coInitialize && SUCCEEDED(coInitialize(nullptr));
  IUpdateService* service = nullptr;
  const HRESULT created =
      coCreateInstance ? coCreateInstance(kUpdateServiceClassId, nullptr, CLSCTX_LOCAL_SERVER,
                                          kUpdateServiceInterfaceId,
                                          reinterpret_cast<void**>(&service))
                       : kSystemLibraryMissing;
  bool ranViaService = false;
  if (FAILED(created) || !service) {
    LogLine("the update service could not be created: 0x%08lx", static_cast<unsigned long>(created));
    ReportError("CUpdateService unavailable");
    service = nullptr;
  } else {
    ranViaService = RunViaUpdateService(programPath, parameters, service);
    if (!ranViaService) ReportError("Failed to run via service.  Running normally");
  }
  if (service) service->Release();
  if (comStarted && coUninitialize) coUninitialize();
  return ranViaService;
}
