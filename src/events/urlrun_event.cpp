// URLRUN: downloads a program into the temporary directory (behind the
// download dialog, or silently with hidden "1"), makes sure it is signed by
// an accepted publisher, runs it through the shell, waits for it, deletes it
// and requires the install path afterwards. Nothing of it stays in the
// temporary directory, whatever the outcome.
#include <windows.h>
#include <objbase.h>

#include <cstring>

#include "base/report.h"
#include "base/run_log.h"
#include "base/system_functions.h"
#include "download/download_dialog.h"
#include "download/downloader.h"
#include "events/actions.h"
#include "events/install_path_check.h"
#include "events/program_exit.h"
#include "files/temp_program.h"
#include "resources/resource_ids.h"
#include "state/process_state.h"
#include "trust/publisher_check.h"

namespace {

constexpr DWORD kDeletePauseMs = 1000;

// The download target: GetTempFileNameA's new "plr....TMP" in the temporary
// directory with its extension made "exe". The empty .TMP file it creates
// keeps the name taken until the event ends. Both names stay empty when there
// is no temporary name to be had, and the download then fails.
void ReserveDownloadTarget(TempProgram* target) {
  if (!ReserveTempFileName(target->name.directory, target->placeholder)) return;
  const size_t nameLength = strlen(target->placeholder);
  if (nameLength < 3) return;
  memcpy(target->name.path, target->placeholder, nameLength + 1);
  memcpy(target->name.path + nameLength - 3, "exe", 3);
}

// Before the program has run, a failed step removes what the download left,
// if anything, without a word.
void DeleteQuietly(const char* path) { DeleteFileA(path); }

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
  TempProgram target(DeleteQuietly);
  ReserveDownloadTarget(&target);
  // Never balanced with CoUninitialize: its result is not looked at, so
  // this call cannot tell whether it opened the thread's apartment or only
  // joined one opened earlier in the walk, and uninitialising could end an
  // apartment that is not this event's. The process ends soon after the walk.
  if (const auto coInitialize = GetSystemFunction<SystemFunction::kCoInitialize>())
    coInitialize(nullptr);
  DownloadRequest request{record.Get(kFieldSrc), target.name.path, record.Get(kFieldTitle),
                          record.Get(kFieldStatus), nullptr,        {0},
                          nullptr};
  LogLine("URLRUN downloads %s to %s", request.address, target.name.path);
  const unsigned long downloading = RunLogMs();
  if (Download(event, &request) == -1) {
    ReportError("DOWNLOAD CANCELED OR ENCOUNTERED ERROR");
    return -1;
  }

  // Held from before the publisher check until the program has started; a
  // file that cannot be held cannot be vouched for either.
  target.hold = HoldProgramFile(target.name.path);
  LARGE_INTEGER received = {};
  if (target.hold) GetFileSizeEx(target.hold.get(), &received);
  LogLine("URLRUN received %I64d bytes in %lu ms", received.QuadPart, RunLogMs() - downloading);
  if (!target.hold || !IsAcceptedPublisher(target.name.path)) {
    ReportError("%s is not authenticated", target.name.path);
    return -1;
  }
  const char* parameters = record.Flag(kFieldCmdline) ? gCallerCmdLine : record.Get(kFieldCmdline);
  LogLine("URLRUN starts %s", target.name.path);
  return RunHeldProgram(event, target, parameters, DeleteAfterRun);
}
