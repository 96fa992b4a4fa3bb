#include "events/event_types.h"

#include <cstring>
#include <iterator>

#include "base/report.h"

namespace {

template <typename... Attributes>
constexpr unsigned Uses(Attributes... fields) {
  return (0u | ... | (1u << fields));
}

constexpr RequiredAttribute Src(const char* message) { return {kFieldSrc, message}; }
constexpr RequiredAttribute Dst(const char* message) { return {kFieldDst, message}; }
constexpr RequiredAttribute Title(const char* message) { return {kFieldTitle, message}; }
constexpr RequiredAttribute Status(const char* message) { return {kFieldStatus, message}; }

constexpr bool kResource = true;
constexpr bool kNotResource = false;

}  // namespace

// One row per type, in the order of comparison; the comment says what a
// failure of the type means for the walk (every -1 stops it: no later event
// runs).
constexpr EventTypeRule kEventTypes[kEventTypeCount] = {
    // Fails when its program cannot be written to a temporary file or started,
    // exits with another code than 0, or (after a shell launch) leaves no
    // install path behind.
    {kEventRun, "RUN", InstallPathUse::kReadsAfterRun, {Src("RUN tag is missing a SRC")}, 1,
     Uses(kFieldSrc, kFieldCmdline, kFieldElevated, kFieldLumenoShutdown, kFieldSelfCmdline),
     kResource},
    // Fails only without a readable, non-empty install path; a program that
    // does not start is no failure.
    {kEventRunApps, "RUNAPPS", InstallPathUse::kReadsFirst, {}, 0, Uses(), kNotResource},
    // Touches nothing; fails (silently) only without src.
    {kEventRemove, "REMOVE", InstallPathUse::kNone, {Src(nullptr)}, 1, Uses(kFieldSrc),
     kNotResource},
    // Fails without an earlier install path or when the copy fails; a missing
    // source or dst is reported and the walk goes on.
    {kEventCallerCopy, "CALLERCOPY", InstallPathUse::kNeedsEarlier, {}, 0,
     Uses(kFieldSrc, kFieldDst, kFieldHidden), kNotResource},
    // Fails only without src; a file that is not deleted is no failure.
    {kEventTempDelete, "TEMPDELETE", InstallPathUse::kNone,
     {Src("TEMPDELETE tag is missing a SRC")}, 1, Uses(kFieldSrc), kNotResource},
    // Fails without an earlier install path, when src is no NAME.TYPE, or when
    // the directories or the file cannot be made.
    {kEventCopy, "COPY", InstallPathUse::kNeedsEarlier,
     {Src("COPY tag is missing a SRC"), Dst("COPY tag is missing a DST")}, 2,
     Uses(kFieldSrc, kFieldDst), kResource},
    // Fails (silently) only without src; a failed request never stops the walk.
    {kEventUrlHit, "URLHIT", InstallPathUse::kNone, {Src(nullptr)}, 1, Uses(kFieldSrc),
     kNotResource},
    // Fails (silently) only without src; no tag block or an unwritable value
    // never stops the walk.
    {kEventSetReferralUrl, "SETREFERRALURL", InstallPathUse::kNone, {Src(nullptr)}, 1,
     Uses(kFieldSrc), kNotResource},
    // Like URLHIT, and asks nothing while the application is installed.
    {kEventFirstUrlHit, "FIRSTURLHIT", InstallPathUse::kNone, {Src(nullptr)}, 1,
     Uses(kFieldSrc), kNotResource},
    // Fails (silently) only without src; whether the shell opens it does not count.
    {kEventUrlVisit, "URLVISIT", InstallPathUse::kNone, {Src(nullptr)}, 1, Uses(kFieldSrc),
     kNotResource},
    // Fails when the download fails or is cancelled, the publisher is not
    // accepted, the program cannot start or exits with another code than 0,
    // or no install path is found afterwards.
    {kEventUrlRun, "URLRUN", InstallPathUse::kReadsAfterRun,
     {Src("URLRUN is missing a SRC tag"), Title("URLRUN is missing a TITLE tag"),
      Status("URLRUN is missing a STATUS tag")},
     3, Uses(kFieldSrc, kFieldTitle, kFieldStatus, kFieldHidden, kFieldCmdline), kNotResource},
    // Fails only when the platform creates no mutex.
    {kEventCreateMutex, "CREATEMUTEX", InstallPathUse::kNone,
     {Title("CREATEMUTEX is missing a TITLE tag")}, 1, Uses(kFieldTitle), kNotResource},
    // Fails when its mutex exists, and the run then exits with status.
    {kEventFailOnMutex, "FAILONMUTEX", InstallPathUse::kNone,
     {Title("FAILONMUTEX is missing a TITLE tag"), Status("FAILONMUTEX is missing a STATUS tag")},
     2, Uses(kFieldTitle, kFieldStatus), kNotResource},
};

namespace {
// A forgotten row is zero-filled and a swapped one out of place: both fail
// the build here.
constexpr bool OneRowPerTypeInOrder() {
  for (size_t i = 0; i < std::size(kEventTypes); ++i) {
    const EventTypeRule& rule = kEventTypes[i];
    if (rule.type != static_cast<EventType>(i) || !rule.name || !rule.name[0]) return false;
    if (rule.requiredCount < 0 || rule.requiredCount > kMaxRequiredAttributes) return false;
    for (int r = 0; r < kMaxRequiredAttributes; ++r) {
      const RequiredAttribute& required = rule.required[r];
      // The type itself is never a required attribute: an entry naming it is
      // an unused one, and the count must say exactly how many are used.
      const bool used = r < rule.requiredCount;
      if (used != (required.field != kFieldType)) return false;
      if (used && !(rule.usedFields & (1u << required.field))) return false;
    }
  }
  return true;
}
static_assert(OneRowPerTypeInOrder(),
              "one row per event type, in EventType order, requiring only what it uses");

}  // namespace

int FindEventType(const char* text) {
  for (int i = 0; i < kEventTypeCount; ++i) {
    if (strcmp(text, kEventTypes[i].name) == 0) return i;
  }
  return -1;
}

bool EventPrerequisitesMet(EventType type, const EventRecord& record, const char* installPath) {
  const EventTypeRule& rule = kEventTypes[type];
  if (rule.installPath == InstallPathUse::kNeedsEarlier && installPath[0] == '\0') {
    ReportError("%s", kInstallPathNotSetMessage);
    return false;
  }
  for (int i = 0; i < rule.requiredCount; ++i) {
    const RequiredAttribute& required = rule.required[i];
    if (!record.Empty(required.field)) continue;
    if (required.message) ReportError("%s", required.message);
    return false;
  }
  return true;
}
