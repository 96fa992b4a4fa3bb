// RUN: writes an embedded program to a fresh temporary file, optionally stops
// the running application, starts the program through the update service or
// the shell, waits for it, judges its exit code and the install path, and
// deletes the temporary file again on every way out.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "base/process_state.h"
#include "base/report.h"
#include "base/run_log.h"
#include "events/actions.h"
#include "events/caller_command_line.h"
#include "events/install_path_check.h"
#include "events/program_exit.h"
#include "events/update_service.h"
#include "files/exe_file_delete.h"
#include "files/extract_file.h"
#include "files/held_content.h"
#include "files/held_program.h"
#include "files/src_name.h"
#include "files/temp_exe_name.h"
#include "host/registry_lookups.h"
#include "host/shutdown.h"
#include "ui/status_window.h"

namespace {

// Adds /CALLER "<own path>" to the caller command line. A path that cannot be
// read, or does not fit its 260 bytes, is refused rather than passed on cut:
// the called program would take another file for its caller.
bool ExtendWithOwnPath() {
  char ownPath[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, ownPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
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
                      HANDLE* statusEvent) {
  if (InstallPathRootAccepted(event.rootkey) && IsRegKeyMissing(event.subkey)) return false;
  if (!strstr(gCallerCmdLine, "/S")) return false;
  if (!strstr(gCallerCmdLine, "/L")) *statusEvent = StartStatusWindow(event.module);
  LogLine("RUN starts %s through the update service", temp.path);
  BeforeHeldProgramStart(temp.path);
  return LaunchViaUpdateService(temp.path, parameters);
}

// Starts the program through the shell and waits for it; 0 when it exited
// with 0. The hold ends once the shell has started it (or refused to): this
// is the program's last start.
int ShellLaunch(const TempExeName& temp, const char* parameters, UniqueHandle* held) {
  SHELLEXECUTEINFOA request = {};
  request.cbSize = sizeof request;
  // No shell error box: a program that cannot start is reported like every
  // other failure, and a silent installation does not wait for a click.
  request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  request.lpFile = temp.path;
  request.lpParameters = parameters;
  request.lpDirectory = temp.directory;
  request.nShow = SW_SHOW;
  LogLine("RUN starts %s through the shell", temp.path);
  BeforeHeldProgramStart(temp.path);
  const BOOL started = ShellExecuteExA(&request);
  held->Close();
  if (!started) {
    ReportError("ShellExecute failed: %s", temp.path);
    return -1;
  }
  DWORD exitCode = 0;
  if (!WaitForProgramExit(request.hProcess, &exitCode)) return -1;
  if (exitCode != 0) {
    ReportError("Bad Exit Code: %d", static_cast<int>(exitCode));
    return -1;
  }
  return 0;
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

  TempExeName temp = {};
  if (MakeTempEXEName(&temp) != 0) {
    ReportError("MakeTempEXEName failed %s", temp.path);
    return -1;
  }
  ResourceBytes resource = {};
  const unsigned long extracting = RunLogMs();
  if (ExtractFile(event.module, name, type, temp.path, &resource) != 0) {
    ReportError("Cant extract %s.%s", name, type);
    EXEFileDelete(temp.path);
    return -1;
  }
  LogLine("RUN extracted %s.%s, %lu bytes, to %s in %lu ms", name, type, resource.size, temp.path,
          RunLogMs() - extracting);
  // From the end of its extraction until its last start (through the
  // service and, should that fail, through the shell) nobody else may
  // replace the program: the service runs it with more rights than ours.
  UniqueHandle held(HoldProgramFile(temp.path));
  if (!held) {
    ReportError("HoldProgramFile - CreateFile failed path=%s, GetLastError()=%d", temp.path,
                static_cast<int>(GetLastError()));
    EXEFileDelete(temp.path);
    return -1;
  }
  if (!HeldProgramIsTheResource(held.get(), resource, temp.path)) {
    held.Close();  // the hold shares no deletion, not even with this process
    EXEFileDelete(temp.path);
    return -1;
  }
  if (record.Flag(kFieldLumenoShutdown)) ShutdownLumeno();

  const char* parameters = record.Flag(kFieldCmdline) ? gCallerCmdLine : record.Get(kFieldCmdline);
  HANDLE statusEvent = nullptr;
  int result = 0;
  if (record.Flag(kFieldElevated) && TryServiceLaunch(event, temp, parameters, &statusEvent)) {
    result = 0;  // the service judged the program; the install path is not read
  } else if (ShellLaunch(temp, parameters, &held) != 0) {
    result = -1;
  } else if (!ReadInstallPathOrReport(event)) {
    result = -1;
  }
  held.Close();
  if (statusEvent) EndStatusWindow(statusEvent);
  EXEFileDelete(temp.path);
  return result;
}
