// URLRUN: downloads a program into the temporary directory (behind the
// download dialog, or silently with hidden "1"), makes sure it is signed by
// an accepted publisher, runs it through the shell, waits for it, deletes it
// and requires the install path afterwards. Nothing of it stays in the
// temporary directory, whatever the outcome.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstring>

#include "base/process_state.h"
#include "base/report.h"
#include "base/run_log.h"
#include "base/system_functions.h"
#include "base/unique_handle.h"
#include "download/download_dialog.h"
#include "download/downloader.h"
#include "download/progress_class.h"
#include "events/actions.h"
#include "events/install_path_check.h"
#include "events/program_exit.h"
#include "files/held_program.h"
#include "files/reserved_temp_name.h"
#include "resources/resource_ids.h"
#include "trust/publisher_check.h"

namespace {

constexpr DWORD kDeletePauseMs = 1000;

// The download target: GetTempFileNameA's new "plr....TMP" in the temporary
// directory with its extension made "exe". The empty .TMP file it creates
// keeps the name taken until the event ends; it is deleted then, on every
// path. Both names stay empty when there is no temporary name to be had, and
// the download then fails.
struct DownloadTarget {
  char directory[MAX_PATH] = {};
  char placeholder[MAX_PATH] = {};
  char path[MAX_PATH] = {};

  DownloadTarget() {
    if (!ReserveTempFileName(directory, placeholder)) return;
    const size_t nameLength = strlen(placeholder);
    if (nameLength < 3) return;
    memcpy(path, placeholder, nameLength + 1);
    memcpy(path + nameLength - 3, "exe", 3);
  }
  ~DownloadTarget() {
    if (placeholder[0]) DeleteFileA(placeholder);
  }
  DownloadTarget(const DownloadTarget&) = delete;
  DownloadTarget& operator=(const DownloadTarget&) = delete;
};

int Download(const EventContext& event, DownloadRequest* request) {
  if (event.record.Flag(kFieldHidden)) return Downloader(request);
  // Without the progress bar's class the dialog cannot be made, which
  // DialogBoxParamA answers with -1 as for any other dialog that fails.
  RegisterProgressClass();
  return static_cast<int>(DialogBoxParamA(event.module, MAKEINTRESOURCEA(IDD_DOWNLOAD), nullptr,
                                          DownloadDlgProc, reinterpret_cast<LPARAM>(request)));
}

// After the program's run (or a failed wait for it): a second's pause for
// the program to let go of its file, then the deletion.
void DeleteAfterRun(const char* path) {
  Sleep(kDeletePauseMs);
  if (!DeleteFileA(path))
    ReportError("Unable to delete %s, GetLastError()=%d", path, static_cast<int>(GetLastError()));
}

}  // namespace

int UrlRunEvent(EventContext& event) {
  // The dispatch has checked src, title and status.
  const EventRecord& record = event.record;
  DownloadTarget target;
  if (const auto coInitialize = GetSystemFunction<SystemFunction::kCoInitialize>())
    coInitialize(nullptr);
  DownloadRequest request{record.Get(kFieldSrc), target.path,   record.Get(kFieldTitle),
                          record.Get(kFieldStatus), nullptr,    {0},
                          nullptr};
  LogLine("URLRUN downloads %s to %s", request.address, target.path);
  const unsigned long downloading = RunLogMs();
  if (Download(event, &request) == -1) {
    ReportError("DOWNLOAD CANCELED OR ENCOUNTERED ERROR");
    DeleteFileA(target.path);  // a dialog that could not be made may leave nothing to delete
    return -1;
  }

  // Held from before the publisher check until the program has started; a
  // file that cannot be held cannot be vouched for either.
  UniqueHandle held(HoldProgramFile(target.path));
  LARGE_INTEGER received = {};
  if (held) GetFileSizeEx(held.get(), &received);
  LogLine("URLRUN received %I64d bytes in %lu ms", received.QuadPart, RunLogMs() - downloading);
  if (!held || !IsAcceptedPublisher(target.path)) {
    ReportError("%s is not authenticated", target.path);
    held.Close();
    DeleteFileA(target.path);
    return -1;
  }
  BeforeHeldProgramStart(target.path);

  SHELLEXECUTEINFOA launch = {};
  launch.cbSize = sizeof launch;
  // No shell error box: a silent run must not wait for a click.
  launch.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  launch.lpFile = target.path;
  launch.lpParameters = record.Flag(kFieldCmdline) ? gCallerCmdLine : record.Get(kFieldCmdline);
  launch.lpDirectory = target.directory;
  launch.nShow = SW_SHOW;
  LogLine("URLRUN starts %s", target.path);
  const BOOL started = ShellExecuteExA(&launch);
  held.Close();
  if (!started) {
    ReportError("ShellExecute failed: %s", target.path);
    DeleteFileA(target.path);
    return -1;
  }

  DWORD exitCode = 0;
  const bool ended = WaitForProgramExit(launch.hProcess, &exitCode);
  DeleteAfterRun(target.path);
  if (!ended) return -1;
  if (exitCode != 0) {
    ReportError("Bad Exit Code: %d", static_cast<int>(exitCode));
    return -1;
  }
  return ReadInstallPathOrReport(event) ? 0 : -1;
}
