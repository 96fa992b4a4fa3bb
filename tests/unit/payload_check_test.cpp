// What payloadtool's check finds in a payload: the run's own failures as
// errors, with the event that stops the walk, and the silent surprises as
// warnings.
#include "payload_check.h"

#include <gtest/gtest.h>

#include "case_name.h"

namespace {

std::string Payload(const std::string& events, const std::string& rootkey = "HKEY_LOCAL_MACHINE") {
  return "<payload><rootkey>" + rootkey + "</rootkey><subkey>S</subkey>" +
         "<installkey>I</installkey>" + events + "</payload>";
}

std::string Event(const std::string& body) { return "<event>" + body + "</event>"; }

struct ExpectedProblem {
  Severity severity;
  int event;
  const char* part;  // a part of the problem's text
};

struct CheckCase {
  const char* what;
  std::string document;
  std::string layoutFailure;
  int stopEvent;
  int errors;
  int warnings;
  std::vector<ExpectedProblem> problems;
};

std::string Describe(const PayloadCheck& check) {
  std::string text;
  for (const Problem& p : check.problems) {
    text += (p.severity == Severity::kError ? "  error " : "  warning ") +
            std::to_string(p.event) + ": " + p.text + "\n";
  }
  return text;
}

class PayloadCheckTest : public testing::TestWithParam<CheckCase> {};

TEST_P(PayloadCheckTest, FindsWhatARunWouldHit) {
  const CheckCase& c = GetParam();
  const PayloadCheck check = CheckPayload(c.document);
  SCOPED_TRACE(std::string(c.what) + "\n" + Describe(check));
  EXPECT_EQ(c.layoutFailure, check.layoutFailure);
  EXPECT_EQ(c.stopEvent, check.stopEvent);
  EXPECT_EQ(c.errors, check.Count(Severity::kError));
  EXPECT_EQ(c.warnings, check.Count(Severity::kWarning));
  for (const ExpectedProblem& expected : c.problems) {
    bool found = false;
    for (const Problem& p : check.problems) {
      found = found || (p.severity == expected.severity && p.event == expected.event &&
                        p.text.find(expected.part) != std::string::npos);
    }
    EXPECT_TRUE(found) << "missing: " << expected.event << " " << expected.part;
  }
}

const Severity E = Severity::kError;
const Severity W = Severity::kWarning;

INSTANTIATE_TEST_SUITE_P(
    Layout, PayloadCheckTest,
    testing::Values(
        CheckCase{"no events", Payload(""), "", 0, 0, 0, {}},
        CheckCase{"settings after the events",
                  "<payload>" + Event("<type>RUNAPPS</type>") +
                      "<rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>S</subkey>"
                      "<installkey>I</installkey></payload>",
                  "", 0, 0, 0, {}},
        CheckCase{"element names are case-sensitive",
                  "<?xml version=\"1.0\"?><Payload></Payload>",
                  "Cant find payload tag", 0, 1, 0,
                  {{E, 0, "Cant find payload tag (there is <Payload>"}}},
        // The run reports only the missing one; the empty one comes next.
        CheckCase{"missing installkey, empty subkey",
                  "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey> </subkey></payload>",
                  "Cant find installkey tag", 0, 2, 0,
                  {{E, 0, "Cant find installkey tag"}, {E, 0, "subkey is empty"}}},
        CheckCase{"setting names are case-sensitive",
                  "<payload><Rootkey>HKEY_LOCAL_MACHINE</Rootkey><subkey>S</subkey>"
                  "<installkey>I</installkey></payload>",
                  "Cant find rootkey tag", 0, 1, 0,
                  {{E, 0, "Cant find rootkey tag (there is <Rootkey>, but element names are "
                          "case-sensitive)"}}},
        CheckCase{"rootkey of spaces",
                  "<payload><rootkey> \t </rootkey><subkey>S</subkey><installkey>I</installkey>"
                  "</payload>",
                  "rootkey is empty", 0, 1, 0, {}},
        CheckCase{"rootkey other than the machine's",
                  Payload(Event("<type>RUNAPPS</type>"), "HKEY_CURRENT_USER"), "", 1, 1, 1,
                  {{W, 0, "rootkey is \"HKEY_CURRENT_USER\""},
                   {E, 1, "RUNAPPS Could not find registry key for install path - "
                          "[HKEY_CURRENT_USER][S][I]"}}},
        CheckCase{"a NUL byte ends the text",
                  Payload(Event("<type>RUNAPPS</type>")) + std::string(1, '\0') + "junk", "", 0, 0,
                  1, {{W, 0, "a NUL byte at offset"}}}),
    CaseName<CheckCase>);

INSTANTIATE_TEST_SUITE_P(
    Events, PayloadCheckTest,
    testing::Values(
        CheckCase{"unknown type in another case stops the walk",
                  Payload(Event("<type>RUNAPPS</type>") + Event("<type> Run </type>") +
                          Event("<type>RUNAPPS</type>")),
                  "", 2, 1, 0,
                  {{E, 2, "unknown type \"Run\": the event fails without a message (types are "
                          "case-sensitive: \"RUN\")"}}},
        CheckCase{"no type", Payload(Event("<src>x</src>")), "", 1, 1, 0,
                  {{E, 1, "no type: the event fails without a message"}}},
        CheckCase{"required attributes, with and without messages",
                  Payload(Event("<type>FAILONMUTEX</type>") + Event("<type>URLHIT</type>")),
                  "", 1, 3, 0,
                  {{E, 1, "the run reports \"FAILONMUTEX is missing a TITLE tag\""},
                   {E, 1, "the run reports \"FAILONMUTEX is missing a STATUS tag\""},
                   {E, 2, "URLHIT: no src: the event fails without a message"}}},
        CheckCase{"src that does not split",
                  Payload(Event("<type>RUN</type><src>NAME</src>") +
                          Event("<type>RUN</type><src>sub\\tool.dll</src>")),
                  "", 1, 1, 0, {{E, 1, "the run reports \"malformed SRC tag: NAME\""}}},
        CheckCase{"copies need an earlier install-path lookup",
                  Payload(Event("<type>COPY</type><src>A.EXE</src><dst>a.exe</dst>") +
                          Event("<type>RUNAPPS</type>") +
                          Event("<type>COPY</type><src>A.EXE</src><dst>a.exe</dst>")),
                  "", 1, 1, 0, {{E, 1, "\"install path is not set before a copy\""}}},
        CheckCase{"CALLERCOPY without dst only warns",
                  Payload(Event("<type>RUNAPPS</type>") + Event("<type>CALLERCOPY</type>")), "",
                  0, 0, 1, {{W, 2, "\"CALLERCOPY tag is missing a DST\""}}},
        CheckCase{"flags that are off although set",
                  Payload(Event("<type>RUN</type><src>A.EXE</src><cmdline>1</cmdline>"
                                "<elevated>yes</elevated><lumenoshutdown> 1 </lumenoshutdown>"
                                "<selfcmdline> 1</selfcmdline>") +
                          Event("<type>RUN</type><src>A.EXE</src><elevated>0</elevated>"
                                "<selfcmdline>1</selfcmdline>")),
                  "", 0, 0, 3,
                  {{W, 1, "elevated is \"yes\": a flag is on only when it is exactly \"1\""},
                   {W, 1, "selfcmdline is \" 1\""},
                   {W, 2, "selfcmdline is \"1\" but cmdline is not \"1\""}}},
        CheckCase{"misspelt, ignored and repeated attributes",
                  Payload(Event("<type>FAILONMUTEX</type><Title>M</Title><title>M</title>"
                                "<status>3</status><status>4</status><dst>x</dst>")),
                  "", 0, 0, 3,
                  {{W, 1, "the run does not read <Title>"},
                   {W, 1, "<status> appears 2 times"},
                   {W, 1, "dst is not used by FAILONMUTEX events"}}},
        CheckCase{"status that is not a number",
                  Payload(Event("<type>FAILONMUTEX</type><title>M</title><status>12a</status>")),
                  "", 0, 0, 1, {{W, 1, "status \"12a\" is not a whole number: the run exits with 12"}}}),
    CaseName<CheckCase>);

INSTANTIATE_TEST_SUITE_P(
    SilentEnds, PayloadCheckTest,
    testing::Values(
        CheckCase{"unclosed last event",
                  Payload(Event("<type>RUNAPPS</type>") + "<event><type>RUN</type>"), "", 0, 0,
                  1,
                  {{W, 0, "event 2 is not closed: the walk ends there and still succeeds, and the "
                          "run prints \"Failed to get data for tag: <event>\""}}},
        CheckCase{"unclosed event in the middle swallows the next",
                  Payload("<event><type>RUNAPPS</type>" + Event("<type>RUNAPPS</type>")), "", 0,
                  0, 2, {{W, 1, "holds an <event> tag"}, {W, 1, "<type> appears 2 times"}}},
        CheckCase{"unclosed attribute reads as empty",
                  Payload(Event("<type>CREATEMUTEX</type><title>M")), "", 1, 1, 1,
                  {{W, 1, "\"Failed to get data for tag: <title>\""},
                   {E, 1, "\"CREATEMUTEX is missing a TITLE tag\""}}}),
    CaseName<CheckCase>);

TEST(PayloadCheck, ListsSettingsAndNonEmptyAttributes) {
  const PayloadCheck check =
      CheckPayload(Payload(Event("\r\n\t<type> RUN </type><src>\tLumeno2_Admin.exe </src>"
                                 "<cmdline></cmdline><selfcmdline> 1</selfcmdline>")));
  EXPECT_EQ("HKEY_LOCAL_MACHINE", check.rootkey);
  ASSERT_EQ(1u, check.events.size());
  EXPECT_EQ("RUN", check.events[0].type);
  using Attributes = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ((Attributes{{"type", "RUN"}, {"src", "Lumeno2_Admin.exe"}, {"selfcmdline", " 1"}}),
            check.events[0].attributes);
  ASSERT_EQ(1u, check.resourceUses.size());
  EXPECT_EQ("LUMENO2_ADMIN.EXE", check.resourceUses[0].resource.Text());
}

TEST(PayloadCheck, MissingPackedResourceStopsTheWalkAtItsEvent) {
  PayloadCheck check = CheckPayload(Payload(Event("<type>RUN</type><src>a.exe</src>") +
                                            Event("<type>COPY</type><src>b.dll</src><dst>b</dst>") +
                                            Event("<type>Run</type>")));
  ASSERT_EQ(3, check.stopEvent);
  CheckResourcesPresent(
      &check, [](const ResourceName& r, void*) { return r.Text() == "A.EXE"; }, nullptr);
  EXPECT_EQ(2, check.stopEvent);
  EXPECT_EQ(2, check.Count(Severity::kError));
  EXPECT_EQ("the packed program holds no resource B.DLL; the run reports \"ExtractFile - "
            "FindResource failed name=B, ext=DLL\"",
            check.problems.back().text);
}

}  // namespace
