// The web events: URLHIT and FIRSTURLHIT request an address and discard the
// answer, URLVISIT opens one in the browser, SETREFERRALURL records where
// this installer came from (its installer tag) under ReferralPing. None of
// them fails the walk once src is given.
#include "events/web_events.h"

#include <shellapi.h>

#include <cstring>

#include "base/report.h"
#include "base/run_log.h"
#include "download/bounded_download.h"
#include "events/actions.h"
#include "events/install_path_rule.h"
#include "files/path_directories.h"
#include "files/temp_program.h"
#include "host/browser_search.h"
#include "host/referral_ping.h"
#include "host/registry_lookups.h"
#include "state/process_state.h"
#include "trust/tag_extractor.h"

namespace {

constexpr char kReferralFormat[] = "%s&label=installation&%s&ieconv=%s";
static_assert(sizeof kReferralFormat - 1 - 6 + 1 + 1 == 30,
              "28 fixed characters, the flag and the terminator besides src and the tag data");

// Requests src into a fresh temporary file and deletes the file, whatever
// the outcome. The request is bounded in time (kWebRequestLimitMs).
int DownloadAndDiscard(const char* src, const char* type) {
  PathBuffer directory = {};
  PathBuffer path = {};
  if (!ReserveTempFileName(directory, path)) {
    ReportError("%s - no temporary file for the answer", type);
    return 0;
  }
  const unsigned long started = RunLogMs();
  const HRESULT result = DownloadWithin(src, path, kWebRequestLimitMs);
  LogLine("%s %s: 0x%08lx after %lu ms", type, src, static_cast<unsigned long>(result),
          RunLogMs() - started);
  if (result != S_OK)
    ReportError("%s - URLDownloadToFile(%s) failed, %d", type, src, static_cast<int>(result));
  if (!DeleteFileA(path))
    ReportError("Unable to delete %s, GetLastError()=%d", path, static_cast<int>(GetLastError()));
  return 0;
}

// "1" exactly when the maker's search became the browser's default during
// the run.
const char* IeConvFlag() {
  if (gBrowserSearch) return "0";
  return CheckBrowserSearch() ? "1" : "0";
}

}  // namespace

// The dispatch has checked src (each of these types requires it, silently).
int UrlHitEvent(EventContext& event) {
  return DownloadAndDiscard(event.record.Get(kFieldSrc), "URLHIT");
}

int FirstUrlHitEvent(EventContext& event) {
  if (!InstallPathRootAccepted(event.rootkey)) return 0;
  if (!IsRegKeyMissing(event.subkey)) return 0;
  return DownloadAndDiscard(event.record.Get(kFieldSrc), "FIRSTURLHIT");
}

int UrlVisitEvent(EventContext& event) {
  // Whether a browser opens it does not count; nothing waits for it.
  const char* src = event.record.Get(kFieldSrc);
  const INT_PTR shell = reinterpret_cast<INT_PTR>(
      ShellExecuteA(nullptr, "open", src, nullptr, nullptr, SW_SHOW));
  LogLine("URLVISIT %s: the shell answered %d", src, static_cast<int>(shell));
  return 0;
}

int SetReferralUrlEvent(EventContext& event) {
  const char* src = event.record.Get(kFieldSrc);
  const char* ieconv = IeConvFlag();

  char ownPath[kReferralBufferSize] = {};
  char tag[kReferralBufferSize] = {};
  char referral[kReferralBufferSize] = {};

  if (!ReadOwnPath(ownPath)) return 0;
  TagExtractor extractor;
  if (!extractor.Open(ownPath)) return 0;
  int32_t size = sizeof tag;
  if (!extractor.ExtractTag(tag, &size)) return 0;

  // Nothing is written rather than a cut text.
  const size_t textLength = strlen(src) + strlen(tag);
  if (textLength > kReferralMaxSrcAndTag) {
    ReportError("SETREFERRALURL - referral text too long: %u bytes of src and tag data, at most %u",
                static_cast<unsigned>(textLength), static_cast<unsigned>(kReferralMaxSrcAndTag));
    return 0;
  }
  FormatBoundedArgs(referral, sizeof referral, kReferralFormat, src, tag, ieconv);
  LogLine("SETREFERRALURL records %s", referral);
  SetReferralPing(referral);
  return 0;
}
