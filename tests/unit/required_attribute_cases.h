#pragma once
// What each event type needs before its action runs, with the run's exact
// report when it is missing (null: the event fails without one). Shared by
// the dispatch's tests (natively with stand-in actions, under Wine with the
// program's own) and by the test of payloadtool's check, so that the run and
// the check are held to the same texts.
#include <string>
#include <vector>

struct RequiredCase {
  const char* what;
  const char* type;
  std::string attributes;  // what the event does carry, as elements
  bool installPathSet;     // an earlier event has read the install path
  const char* message;
};

inline const std::vector<RequiredCase>& RequiredAttributeCases() {
  static const std::vector<RequiredCase> cases = {
      {"RunWithoutSrc", "RUN", "<cmdline>1</cmdline>", true, "RUN tag is missing a SRC"},
      {"RunWithSrcOfBlanks", "RUN", "<src> \t </src>", true, "RUN tag is missing a SRC"},
      {"RemoveWithoutSrc", "REMOVE", "<dst>d</dst>", true, nullptr},
      {"TempDeleteWithoutSrc", "TEMPDELETE", "", true, "TEMPDELETE tag is missing a SRC"},
      {"CopyWithoutSrc", "COPY", "<dst>d.exe</dst>", true, "COPY tag is missing a SRC"},
      {"CopyWithoutDst", "COPY", "<src>S.EXE</src>", true, "COPY tag is missing a DST"},
      {"CopyWithoutEitherReportsSrc", "COPY", "", true, "COPY tag is missing a SRC"},
      {"CopyBeforeAnyInstallPath", "COPY", "", false, "install path is not set before a copy"},
      {"CallerCopyBeforeAnyInstallPath", "CALLERCOPY", "<src>s</src><dst>d</dst>", false,
       "install path is not set before a copy"},
      {"UrlHitWithoutSrc", "URLHIT", "<title>t</title>", true, nullptr},
      {"SetReferralUrlWithoutSrc", "SETREFERRALURL", "", true, nullptr},
      {"FirstUrlHitWithoutSrc", "FIRSTURLHIT", "", true, nullptr},
      {"UrlVisitWithoutSrc", "URLVISIT", "", true, nullptr},
      {"UrlRunWithoutSrc", "URLRUN", "<title>t</title><status>s</status>", true,
       "URLRUN is missing a SRC tag"},
      {"UrlRunWithoutTitle", "URLRUN", "<src>u</src><status>s</status>", true,
       "URLRUN is missing a TITLE tag"},
      {"UrlRunWithoutStatus", "URLRUN", "<src>u</src><title>t</title>", true,
       "URLRUN is missing a STATUS tag"},
      {"CreateMutexWithoutTitle", "CREATEMUTEX", "<status>1</status>", true,
       "CREATEMUTEX is missing a TITLE tag"},
      {"FailOnMutexWithoutTitle", "FAILONMUTEX", "<status>1</status>", true,
       "FAILONMUTEX is missing a TITLE tag"},
      {"FailOnMutexWithoutStatus", "FAILONMUTEX", "<title>m</title>", true,
       "FAILONMUTEX is missing a STATUS tag"},
  };
  return cases;
}

inline std::string RequiredCaseEvent(const RequiredCase& c) {
  return std::string("<type>") + c.type + "</type>" + c.attributes;
}
