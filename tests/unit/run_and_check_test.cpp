// The run and payloadtool's check agree on what each event type requires:
// the dispatch runs the event and the check quotes exactly its report.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core_test_helpers.h"
#include "events/dispatch.h"
#include "payload_check.h"
#include "required_attribute_cases.h"
#include "state/process_state.h"

namespace {

std::string Payload(const std::string& events) {
  return "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>S</subkey>"
         "<installkey>I</installkey>" + events + "</payload>";
}

std::string Event(const std::string& body) { return "<event>" + body + "</event>"; }

// The check quotes what the run itself reports for a missing requirement:
// the dispatch runs the same event and its report is the one the check names.
class RunAndCheckAgree : public testing::TestWithParam<RequiredCase> {};

TEST_P(RunAndCheckAgree, OnWhatATypeRequires) {
  const RequiredCase& c = GetParam();
  ResetProcessState();
  if (c.installPathSet) strcpy(gInstallPath, "C:\\check-test-never-written\\");
  std::string content = RequiredCaseEvent(c);
  TextBlock event{&content[0], content.size()};
  ReportLog reports;
  ASSERT_EQ(-1, ProcessEvent("HKEY_LOCAL_MACHINE", "S", event, nullptr, "I"));
  ResetProcessState();

  // An earlier RUNAPPS is what reads the install path in the check's eyes.
  const std::string before = c.installPathSet ? Event("<type>RUNAPPS</type>") : "";
  const int number = c.installPathSet ? 2 : 1;
  const PayloadCheck check = CheckPayload(Payload(before + Event(RequiredCaseEvent(c))));
  const Problem* first = nullptr;
  for (const Problem& p : check.problems) {
    if (!first && p.severity == Severity::kError && p.event == number) first = &p;
  }
  ASSERT_NE(nullptr, first) << check.problems.size() << " problems, none an error of event "
                            << number;
  EXPECT_EQ(number, check.stopEvent);
  if (reports.errors().empty()) {
    EXPECT_NE(std::string::npos, first->text.find("fails without a message")) << first->text;
  } else {
    ASSERT_EQ(1u, reports.errors().size());
    EXPECT_NE(std::string::npos, first->text.find("the run reports \"" + reports.errors()[0] + "\""))
        << first->text;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RunAndCheckAgree, testing::ValuesIn(RequiredAttributeCases()),
                         [](const testing::TestParamInfo<RequiredCase>& info) {
                           return std::string(info.param.what);
                         });

}  // namespace
