#include "events/event_types.h"

#include <gtest/gtest.h>

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

}  // namespace
