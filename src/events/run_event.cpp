// RUN: writes an embedded program to a fresh temporary file, optionally stops
// the running application, starts the program through the update service or
// the shell, waits for it, judges its exit code and the install path, and
// deletes the temporary file again on every way out.
#include <windows.h>

#include <cstring>
#include <utility>

#include "base/report.h"
#include "base/run_log.h"
#include "events/actions.h"
#include "events/caller_command_line.h"
#include "events/install_path_check.h"
#include "events/program_exit.h"
#include "events/update_service.h"
#include "files/extract_file.h"
#include "files/held_content.h"
#include "files/path_directories.h"
#include "files/src_name.h"
#include "files/temp_program.h"
#include "host/registry_lookups.h"
#include "host/shutdown.h"
#include "state/process_state.h"
#include "ui/status_window.h"

namespace {

// Adds /CALLER "<own path>" to the caller command line. A path that cannot be
// read, or does not fit its buffer, is refused rather than passed on cut:
// the called program would take another file for its caller.
bool ExtendWithOwnPath() {
  PathBuffer ownPath;
  if (!ReadOwnPath(ownPath)) {
    ReportError("GetModuleFileName failed, GetLastError()=%d", static_cast<int>(GetLastError()));
    return false;
  }
  return ExtendCallerCommandLine(ownPath);
}

// The service launch, tried only on an installed machine (the application's
// key exists) and when the caller asked for a silent run with "/S". The
// status window is shown unless the caller passed "/L". True when the
// program ran through the service and exited with 0.
bool TryServiceLaunch(const EventContext& event, const TempExeName& temp, const char* parameters,
                      UniqueHandle* statusEvent) {
  if (InstallPathRootAccepted(event.rootkey) && IsRegKeyMissing(event.subkey)) return false;
  if (!strstr(gCallerCmdLine, "/S")) return false;
  if (!strstr(gCallerCmdLine, "/L")) *statusEvent = StartStatusWindow(event.module);
  LogLine("RUN starts %s through the update service", temp.path);
  BeforeHeldProgramStart(temp.path);
  return LaunchViaUpdateService(temp.path, parameters);
}

// Between the end of its extraction and the hold, another process of the
// same user could rewrite or replace the program; Windows has no way to turn
// the writing handle into such a hold without a gap. So the held file is
// read back through the hold and must be byte for byte the resource. True
// when it is; otherwise the refusal is reported.
bool HeldProgramIsTheResource(HANDLE held, const ResourceBytes& resource, const char* path) {
  const HeldContent content = CompareHeldFile(held, resource.data, resource.size);
  if (content.same) return true;
  if (content.failedCall) {
    ReportError("RUN - %s could not be compared with its resource: %s failed, GetLastError()=%d",
                path, content.failedCall, static_cast<int>(content.error));
  } else {
    ReportError("RUN - %s changed after its extraction: %I64u bytes instead of %lu, first "
                "difference at byte %lu",
                path, content.size, resource.size, content.firstDifference);
  }
  return false;
}

}  // namespace

int RunEvent(EventContext& event) {
  const EventRecord& record = event.record;
  const char* src = record.Get(kFieldSrc);
  // Before anything else, so the extension stays even when the event fails.
  if (record.Flag(kFieldCmdline) && record.Flag(kFieldSelfCmdline) && !ExtendWithOwnPath())
    return -1;

  char name[kResourceNameSize], type[kResourceTypeSize];
  if (!SplitResourceSrc(src, name, type)) {
    ReportError(kMalformedSrcFormat, src);
    return -1;
  }

  TempProgram temp(EXEFileDelete);
  if (MakeTempEXEName(&temp.name) != 0) {
    ReportError("MakeTempEXEName failed %s", temp.name.path);
    temp.Forget();
    return -1;
  }
  ResourceBytes resource = {};
  const unsigned long extracting = RunLogMs();
  if (ExtractFile(event.module, name, type, temp.name.path, &resource) != 0) {
    ReportError("Cant extract %s.%s", name, type);
    return -1;
  }
  LogLine("RUN extracted %s.%s, %lu bytes, to %s in %lu ms", name, type, resource.size,
          temp.name.path, RunLogMs() - extracting);
  // From the end of its extraction until its last start (through the
  // service and, should that fail, through the shell) nobody else may
  // replace the program: the service runs it with more rights than ours.
  temp.hold = HoldProgramFile(temp.name.path);
  if (!temp.hold) {
    ReportError("HoldProgramFile - CreateFile failed path=%s, GetLastError()=%d", temp.name.path,
                static_cast<int>(GetLastError()));
    return -1;
  }
  if (!HeldProgramIsTheResource(temp.hold.get(), resource, temp.name.path)) return -1;
  if (record.Flag(kFieldLumenoShutdown)) ShutdownLumeno();

  const char* parameters = record.Flag(kFieldCmdline) ? gCallerCmdLine : record.Get(kFieldCmdline);
  UniqueHandle statusEvent;
  int result = 0;
  if (record.Flag(kFieldElevated) && TryServiceLaunch(event, temp.name, parameters, &statusEvent)) {
    result = 0;  // the service judged the program; the install path is not read
  } else {
    LogLine("RUN starts %s through the shell", temp.name.path);
    result = RunHeldProgram(event, temp, parameters, nullptr);
  }
  temp.hold.Close();
  // The program is deleted only once the status window is gone.
  EndStatusWindow(std::move(statusEvent));
  return result;
}
