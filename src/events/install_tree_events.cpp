// RUNAPPS, REMOVE, CALLERCOPY, TEMPDELETE and COPY: the events that act on
// the installed application's directory and on single files around it.
#include <cstring>

#include "base/report.h"
#include "base/run_log.h"
#include "base/string_ops.h"
#include "events/actions.h"
#include "events/caller_command_line.h"
#include "events/install_path_check.h"
#include "files/extract_file.h"
#include "files/path_directories.h"
#include "files/src_name.h"
#include "host/registry_lookups.h"
#include "host/run_program.h"
#include "state/process_state.h"

namespace {

// Replaces src with the quoted path after the first /CALLER " marker of the
// caller command line, if there is one that fits.
void TakeCallerPath(TextBlock* src) {
  const char* marker = strstr(gCallerCmdLine, kCallerMarker);
  if (!marker) return;
  const char* begin = marker + sizeof kCallerMarker - 1;
  const char* end = strchr(begin, '"');
  if (end) CopyToTextBlock(begin, static_cast<size_t>(end - begin), src);
}
}  // namespace

int RunAppsEvent(EventContext& event) {
  if (!ReadInstallPathOrReport(event)) return -1;
  if (gInstallPath[0] == '\0') {
    ReportError("No install path- cannot run apps");
    return -1;
  }
  // Both are read before either starts.
  PathBuffer application = {};
  PathBuffer detector = {};
  ReadInstallerValue(event.subkey, "RunLumeno", application);
  ReadInstallerValue(event.subkey, "RunDetector", detector);
  LogLine("RUNAPPS in %s: application [%s], detector [%s]", gInstallPath, application, detector);
  if (application[0] != '\0') RunProgram(application);
  if (detector[0] != '\0') {
    DWORD disabled = 0;
    if (!ReadDisableMediaDetector(event.subkey, &disabled) || disabled == 0) RunProgram(detector);
  }
  return 0;
}

// Its only rule, a src, is checked by the dispatch: there is nothing more to do.
int RemoveEvent(EventContext&) { return 0; }

int CallerCopyEvent(EventContext& event) {
  EventRecord& record = event.record;
  TakeCallerPath(&record.fields[kFieldSrc]);
  // A missing source or target is reported, but the walk goes on.
  if (record.Empty(kFieldSrc)) {
    ReportError("CALLERCOPY failed :%s", gCallerCmdLine);
    return 0;
  }
  if (record.Empty(kFieldDst)) {
    ReportError("%s", kCallerCopyMissingDstMessage);
    return 0;
  }
  const char* src = record.Get(kFieldSrc);
  PathBuffer target;
  if (!JoinPath(target, gInstallPath, record.Get(kFieldDst))) {
    // No file of that name can be made; a cut name would be another file.
    ReportError("CALLERCOPY failed: %s %s%s", src, gInstallPath, record.Get(kFieldDst));
    return -1;
  }
  LogLine("CALLERCOPY %s to %s", src, target);
  DeleteFileA(target);
  if (!CopyFileA(src, target, FALSE)) {
    ReportError("CALLERCOPY failed: %s %s", src, target);
    return -1;
  }
  if (record.Flag(kFieldHidden)) {
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES)
      SetFileAttributesA(target, attributes | FILE_ATTRIBUTE_HIDDEN);
  }
  return 0;
}

int TempDeleteEvent(EventContext& event) {
  const EventRecord& record = event.record;
  PathBuffer directory;
  const DWORD error = ReadTempDirectory(directory);
  if (error != ERROR_SUCCESS) {
    ReportError("TEMPDELETE - GetTempPath failed, GetLastError()=%d", static_cast<int>(error));
    return 0;
  }
  PathBuffer path;
  // A path that does not fit names no file that could be deleted: deleting a
  // cut path would remove another file.
  if (!JoinPath(path, directory, record.Get(kFieldSrc))) {
    ReportError("TEMPDELETE path too long: %s", record.Get(kFieldSrc));
    return 0;
  }
  LogLine("TEMPDELETE %s", path);
  DeleteFileA(path);
  return 0;
}

int CopyEvent(EventContext& event) {
  const EventRecord& record = event.record;
  const char* src = record.Get(kFieldSrc);
  char name[kResourceNameSize], type[kResourceTypeSize];
  if (!SplitResourceSrc(src, name, type)) {
    ReportError(kMalformedSrcFormat, src);
    return -1;
  }
  PathBuffer target;
  if (!JoinPath(target, gInstallPath, record.Get(kFieldDst))) {
    ReportError("Could not create all the directories in [%s%s]\n", gInstallPath,
                record.Get(kFieldDst));
    return -1;
  }
  if (!CreatePathDirectories(target)) {
    ReportError("Could not create all the directories in [%s]\n", target);
    return -1;
  }
  LogLine("COPY %s.%s to %s", name, type, target);
  if (ExtractFile(event.module, name, type, target) != 0) {
    ReportError("Cant extract %s.%s to %s", name, type, target);
    return -1;
  }
  return 0;
}
