// The walk and the dispatch as the program runs them, with stand-in actions
// that record what reaches them: every type reaches its own action with its
// trimmed record, what a type requires stops it before its action, a failed
// event ends the walk, and every path releases what it took. Built natively
// under ASan and UBSan (leaks are checked after each case) and with every
// allocation of the walk made to fail in turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "allocation_failure.h"
#include "core_test_helpers.h"
#include "events/dispatch.h"
#include "payload/payload_walk.h"
#include "required_attribute_cases.h"
#include "standin_actions.h"
#include "state/process_state.h"

namespace {

using Texts = std::vector<std::string>;

const char kSettings[] =
    "<rootkey> HKEY_LOCAL_MACHINE </rootkey><subkey>S\\K</subkey><installkey>I</installkey>";

std::string Payload(const std::string& events) {
  return std::string("<payload>") + kSettings + events + "</payload>";
}
std::string Event(const std::string& body) { return "<event>" + body + "</event>"; }

// A text block of exactly the text's size, as the program loads its resource.
struct Document {
  explicit Document(const std::string& text) : bytes(text) {
    block = TextBlock{bytes.data(), text.size()};
  }
  ExactBytes bytes;
  TextBlock block;
};

int Walk(const std::string& text) {
  const std::string terminated = text + '\0';
  Document document(terminated);
  document.block.capacity = text.size();
  return ProcessXML2(&document.block, nullptr);
}

int Dispatch(const std::string& content) {
  const std::string terminated = content + '\0';
  Document event(terminated);
  event.block.capacity = content.size();
  return ProcessEvent("R", "S", event.block, nullptr, "I");
}

class Walked : public testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    memcpy(gInstallPath, "C:\\Apps\\", 9);
  }
  void TearDown() override {
    ResetProcessState();
    ExpectNoLeaks();
  }
  ReportLog reports_;
  StandInActions actions_;
};

// Each name reaches the action bound to its own row, with all ten attributes
// read and trimmed (selfcmdline as it stands) and the trimmed settings.
TEST_F(Walked, EveryTypeReachesItsOwnActionWithItsTrimmedRecord) {
  const std::string attributes =
      "<src> s </src><dst>\td\t</dst><cmdline> c </cmdline><title> t </title>"
      "<status> 1 </status><hidden> 1</hidden><elevated>1 </elevated>"
      "<lumenoshutdown>\r\n1</lumenoshutdown><selfcmdline> 1 </selfcmdline>";
  std::string events;
  Texts names;
  for (const EventTypeRule& rule : kEventTypes) {
    events += Event(std::string("<type> ") + rule.name + " </type>" + attributes);
    names.emplace_back(rule.name);
  }
  EXPECT_EQ(0, Walk(Payload(events)));
  EXPECT_EQ(names, actions_.CalledTypes());
  const Texts expected = {"", "s", "d", "c", "t", "1", "1", "1", "1", " 1 "};
  for (const ActionCall& call : actions_.calls()) {
    SCOPED_TRACE(kEventTypes[call.type].name);
    Texts fields = call.fields;
    fields[kFieldType] = "";
    EXPECT_EQ(expected, fields);
    EXPECT_EQ("HKEY_LOCAL_MACHINE|S\\K|I", call.settings);
  }
  EXPECT_EQ(Texts{}, reports_.errors());
}

class RequiredAttributeTest : public Walked, public testing::WithParamInterface<RequiredCase> {};

TEST_P(RequiredAttributeTest, MissingOneStopsTheEventBeforeItsAction) {
  const RequiredCase& c = GetParam();
  if (!c.installPathSet) gInstallPath[0] = '\0';
  EXPECT_EQ(-1, Dispatch(RequiredCaseEvent(c)));
  EXPECT_EQ(c.message ? Texts{c.message} : Texts{}, reports_.errors());
  EXPECT_EQ(Texts{}, actions_.CalledTypes());
}

INSTANTIATE_TEST_SUITE_P(Cases, RequiredAttributeTest, testing::ValuesIn(RequiredAttributeCases()),
                         [](const testing::TestParamInfo<RequiredCase>& info) {
                           return std::string(info.param.what);
                         });

TEST_F(Walked, FailedEventEndsTheWalkAndEachEventStartsFromAnEmptyRecord) {
  actions_.Script(kEventRemove, -1);
  const std::string longFirst = Event("<type>CREATEMUTEX</type><title>" + std::string(300, 'm') +
                                      "</title><dst>only here</dst>");
  EXPECT_EQ(-1, Walk(Payload(longFirst + Event("<type>FAILONMUTEX</type><title>n</title>"
                                               "<status>2</status>") +
                             Event("<type>REMOVE</type><src>x</src>") +
                             Event("<type>CREATEMUTEX</type><title>never</title>"))));
  EXPECT_EQ((Texts{"CREATEMUTEX", "FAILONMUTEX", "REMOVE"}), actions_.CalledTypes());
  ASSERT_EQ(3u, actions_.calls().size());
  EXPECT_EQ("", actions_.calls()[1].fields[kFieldDst]) << "the first event's dst leaked on";
  EXPECT_EQ("n", actions_.calls()[1].fields[kFieldTitle]);
  EXPECT_EQ(Texts{"Event Tag processing failed"}, reports_.errors());
}

// Every allocation of the walk fails once, in turn: each is reported, the
// walk fails without running an event, and nothing is left allocated.
TEST_F(Walked, EachAllocationThatFailsIsReportedAndReleasesTheRest) {
  const std::string document =
      Payload(Event("<type>REMOVE</type><src>x</src>") + Event("<type>REMOVE</type><src>y</src>"));
  int allocations = 0;
  {
    const CountedAllocations counted;
    ASSERT_EQ(0, Walk(document));
    allocations = counted.made();
  }
  // The content, three settings, the event and its record of ten attributes.
  ASSERT_EQ(15, allocations);
  const std::string bytes = " out of memory for " + std::to_string(document.size()) + " bytes";
  for (int failing = 0; failing < allocations; ++failing) {
    SCOPED_TRACE("allocation " + std::to_string(failing + 1) + " fails");
    ReportLog reports;
    StandInActions actions;
    {
      const FailingAllocations fail(failing);
      EXPECT_EQ(-1, Walk(document));
    }
    EXPECT_EQ(Texts{(failing == 0 ? "ProcessXML2 -" : "ProcessPayload -") + bytes},
              reports.errors());
    EXPECT_EQ(Texts{}, actions.CalledTypes());
    ExpectNoLeaks();
  }
}

TEST_F(Walked, DispatchWithoutWorkspaceReleasesItsRecordOnEveryPath) {
  const std::string event = "<type>REMOVE</type><src>x</src>";
  for (int failing = 0; failing < kEventFieldCount; ++failing) {
    SCOPED_TRACE("allocation " + std::to_string(failing + 1) + " fails");
    ReportLog reports;
    {
      const FailingAllocations fail(failing);
      EXPECT_EQ(-1, Dispatch(event));
    }
    EXPECT_EQ(Texts{"ProcessEvent - out of memory for " + std::to_string(event.size()) + " bytes"},
              reports.errors());
    ExpectNoLeaks();
  }
  for (int result : {0, -1}) {
    actions_.Script(kEventRemove, result);
    EXPECT_EQ(result, Dispatch(event));
    ExpectNoLeaks();
  }
}

}  // namespace
