#include "events/event_types.h"

#include <cstring>

const char* const kEventTypeNames[kEventTypeCount] = {
    "RUN",     "RUNAPPS",        "REMOVE",      "CALLERCOPY", "TEMPDELETE",
    "COPY",    "URLHIT",         "SETREFERRALURL", "FIRSTURLHIT", "URLVISIT",
    "URLRUN",  "CREATEMUTEX",    "FAILONMUTEX",
};

int FindEventType(const char* text) {
  for (int i = 0; i < kEventTypeCount; ++i) {
    if (strcmp(text, kEventTypeNames[i]) == 0) return i;
  }
  return -1;
}

namespace {
constexpr RequiredAttribute kEnd = {kEventFieldCount, nullptr};

const RequiredAttribute kRun[] = {{kFieldSrc, "RUN tag is missing a SRC"}, kEnd};
const RequiredAttribute kNone[] = {kEnd};
const RequiredAttribute kSilentSrc[] = {{kFieldSrc, nullptr}, kEnd};
const RequiredAttribute kTempDelete[] = {{kFieldSrc, "TEMPDELETE tag is missing a SRC"}, kEnd};
const RequiredAttribute kCopy[] = {{kFieldSrc, "COPY tag is missing a SRC"},
                                   {kFieldDst, "COPY tag is missing a DST"},
                                   kEnd};
const RequiredAttribute kUrlRun[] = {{kFieldSrc, "URLRUN is missing a SRC tag"},
                                     {kFieldTitle, "URLRUN is missing a TITLE tag"},
                                     {kFieldStatus, "URLRUN is missing a STATUS tag"},
                                     kEnd};
const RequiredAttribute kCreateMutex[] = {{kFieldTitle, "CREATEMUTEX is missing a TITLE tag"},
                                          kEnd};
const RequiredAttribute kFailOnMutex[] = {
    {kFieldTitle, "FAILONMUTEX is missing a TITLE tag"},
    {kFieldStatus, "FAILONMUTEX is missing a STATUS tag"},
    kEnd};
}  // namespace

const RequiredAttribute* RequiredAttributes(EventType type) {
  switch (type) {
    case kEventRun: return kRun;
    case kEventRemove:
    case kEventUrlHit:
    case kEventSetReferralUrl:
    case kEventFirstUrlHit:
    case kEventUrlVisit: return kSilentSrc;
    case kEventTempDelete: return kTempDelete;
    case kEventCopy: return kCopy;
    case kEventUrlRun: return kUrlRun;
    case kEventCreateMutex: return kCreateMutex;
    case kEventFailOnMutex: return kFailOnMutex;
    case kEventRunApps:
    case kEventCallerCopy:
    case kEventTypeCount: break;
  }
  return kNone;
}

bool SrcIsResource(EventType type) { return type == kEventRun || type == kEventCopy; }
