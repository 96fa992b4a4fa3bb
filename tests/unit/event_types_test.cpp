#include "events/event_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FindEventType, ThirteenTypesInComparisonOrder) {
  const char* types[] = {"RUN",         "RUNAPPS",        "REMOVE",      "CALLERCOPY",
                         "TEMPDELETE",  "COPY",           "URLHIT",      "SETREFERRALURL",
                         "FIRSTURLHIT", "URLVISIT",       "URLRUN",      "CREATEMUTEX",
                         "FAILONMUTEX"};
  ASSERT_EQ(static_cast<int>(sizeof types / sizeof *types), static_cast<int>(kEventTypeCount));
  for (int i = 0; i < kEventTypeCount; ++i) EXPECT_EQ(i, FindEventType(types[i])) << types[i];
}

TEST(FindEventType, EmptyUnknownAndOtherCaseAreNotTypes) {
  for (const char* text : {"", "run", "Run", "rUN", " RUN", "RUN ", "RUNX", "RU", "RUN\n",
                           "createmutex", "URL", "COPY2", "FAILONMUTEx"}) {
    EXPECT_EQ(-1, FindEventType(text)) << "[" << text << "]";
  }
}

// The attributes each type needs before it does anything, with their messages.
TEST(RequiredAttributes, MessagesInCheckOrder) {
  using Required = std::vector<std::pair<EventField, std::string>>;
  const Required none;
  const Required silentSrc{{kFieldSrc, ""}};
  const Required expected[kEventTypeCount] = {
      {{kFieldSrc, "RUN tag is missing a SRC"}},
      none,
      silentSrc,
      none,
      {{kFieldSrc, "TEMPDELETE tag is missing a SRC"}},
      {{kFieldSrc, "COPY tag is missing a SRC"}, {kFieldDst, "COPY tag is missing a DST"}},
      silentSrc,
      silentSrc,
      silentSrc,
      silentSrc,
      {{kFieldSrc, "URLRUN is missing a SRC tag"},
       {kFieldTitle, "URLRUN is missing a TITLE tag"},
       {kFieldStatus, "URLRUN is missing a STATUS tag"}},
      {{kFieldTitle, "CREATEMUTEX is missing a TITLE tag"}},
      {{kFieldTitle, "FAILONMUTEX is missing a TITLE tag"},
       {kFieldStatus, "FAILONMUTEX is missing a STATUS tag"}},
  };
  for (int type = 0; type < kEventTypeCount; ++type) {
    Required actual;
    for (const RequiredAttribute* r = RequiredAttributes(static_cast<EventType>(type));
         r->field != kEventFieldCount; ++r) {
      actual.emplace_back(r->field, r->message ? r->message : "");
    }
    EXPECT_EQ(expected[type], actual) << kEventTypeNames[type];
  }
}

}  // namespace
