#include "events/event_types.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FindEventType, ThirteenTypesInComparisonOrder) {
  const char* types[] = {"RUN",         "RUNAPPS",        "REMOVE",      "CALLERCOPY",
                         "TEMPDELETE",  "COPY",           "URLHIT",      "SETREFERRALURL",
                         "FIRSTURLHIT", "URLVISIT",       "URLRUN",      "CREATEMUTEX",
                         "FAILONMUTEX"};
  for (int i = 0; i < kEventTypeCount; ++i) EXPECT_EQ(i, FindEventType(types[i])) << types[i];
}

// What the static assertions beside the table cannot see: every row can be
// reached. A name given to two rows leaves the second without events, and a
// name a trimmed payload type can never equal (blanks, lower case) leaves its
// row without any.
TEST(FindEventType, EveryRowIsReachedByItsOwnName) {
  for (int i = 0; i < kEventTypeCount; ++i) {
    const std::string name = kEventTypes[i].name;
    SCOPED_TRACE(name);
    EXPECT_EQ(i, FindEventType(name.c_str())) << "found at another row";
    for (char c : name) EXPECT_TRUE(c >= 'A' && c <= 'Z') << "not a capital letter: " << c;
  }
}

TEST(FindEventType, EmptyUnknownAndOtherCaseAreNotTypes) {
  for (const char* text : {"", "run", "Run", "rUN", " RUN", "RUN ", "RUNX", "RU", "RUN\n",
                           "createmutex", "URL", "COPY2", "FAILONMUTEx"}) {
    EXPECT_EQ(-1, FindEventType(text)) << "[" << text << "]";
  }
}

}  // namespace
