#include "payload/payload_resource.h"
#include "payload/payload_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "named_mutexes.h"
#include "report_capture.h"
#include "state/process_state.h"

namespace {

using Texts = std::vector<std::string>;

const char kSettings[] =
    "<rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>SOFTWARE\\Korvex\\Lumeno\\Lumeno2</subkey>"
    "<installkey>InstallPath</installkey>";

std::string Payload(const std::string& inside) { return "<payload>" + inside + "</payload>"; }

std::string CreateMutexXml(const std::string& title) {
  return "<event><type>CREATEMUTEX</type><title>" + title + "</title></event>";
}

std::string FailOnMutexXml(const std::string& title, const std::string& status) {
  return "<event><type>FAILONMUTEX</type><title>" + title + "</title><status>" + status +
         "</status></event>";
}

// Walks text as the program walks its resource: a block of the text's size.
int Walk(const std::string& text) {
  std::string storage = text;
  TextBlock block{&storage[0], text.size()};
  return ProcessXML2(&block, GetModuleHandleA(nullptr));
}

class PayloadWalk : public testing::Test {
 protected:
  void SetUp() override { ResetProcessState(); }
  void TearDown() override { ResetProcessState(); }
  ReportCapture reports_;
};

// ------------------------------------------------------------------- layout

struct LayoutCase {
  const char* label;
  std::string document;  // holds a CREATEMUTEX event of the name kMarker
  const char* message;
};
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.label; }

const char kMarker[] = "@MUTEX@";

class PayloadLayoutFailure : public PayloadWalk, public testing::WithParamInterface<LayoutCase> {};

TEST_P(PayloadLayoutFailure, ReportsOnlyTheFirstAndRunsNoEvent) {
  const LayoutCase& c = GetParam();
  const std::string name = UniqueMutexName("layout");
  std::string document = c.document;
  document.replace(document.find(kMarker), strlen(kMarker), name);

  EXPECT_EQ(-1, Walk(document));
  EXPECT_EQ(Texts{c.message}, reports_.errors());
  EXPECT_FALSE(MutexExists(name)) << "an event ran";
  EXPECT_EQ(0, gLastError);
}

const std::string kEvent = CreateMutexXml(kMarker);

INSTANTIATE_TEST_SUITE_P(
    Cases, PayloadLayoutFailure,
    testing::Values(
        LayoutCase{"NoPayload", "<doc>" + std::string(kSettings) + kEvent + "</doc>",
                   "Cant find payload tag"},
        LayoutCase{"PayloadInOtherCase", "<Payload>" + std::string(kSettings) + kEvent + "</Payload>",
                   "Cant find payload tag"},
        LayoutCase{"PayloadNotClosed", "<payload>" + std::string(kSettings) + kEvent,
                   "Cant find payload tag"},
        LayoutCase{"NoRootkey",
                   Payload("<subkey>s</subkey><installkey>i</installkey>" + kEvent),
                   "Cant find rootkey tag"},
        LayoutCase{"NoSubkey",
                   Payload("<rootkey>r</rootkey><installkey>i</installkey>" + kEvent),
                   "Cant find subkey tag"},
        LayoutCase{"NoInstallkeyAndEmptySubkey",
                   Payload("<rootkey>r</rootkey><subkey> </subkey>" + kEvent),
                   "Cant find installkey tag"},
        LayoutCase{"EmptyRootkey",
                   Payload("<rootkey> </rootkey><subkey></subkey><installkey>i</installkey>" +
                           kEvent),
                   "rootkey is empty"},
        LayoutCase{"EmptySubkey",
                   Payload("<rootkey>r</rootkey><subkey>\r\n\t</subkey><installkey></installkey>" +
                           kEvent),
                   "subkey is empty"},
        LayoutCase{"EmptyInstallkey",
                   Payload("<rootkey>r</rootkey><subkey>s</subkey><installkey>  </installkey>" +
                           kEvent),
                   "installkey is empty"}));

TEST_F(PayloadWalk, UnclosedPayloadAlsoPrintsTheReaderLine) {
  EXPECT_EQ(-1, Walk("<payload>" + std::string(kSettings)));
  EXPECT_EQ(Texts{"Failed to get data for tag: <payload>\n"}, reports_.printed());
}

TEST_F(PayloadWalk, NulInTheTextEndsIt) {
  const std::string name = UniqueMutexName("nul");
  std::string document = Payload(kSettings + CreateMutexXml(name));
  document.insert(document.size() - strlen("</payload>"), 1, '\0');
  EXPECT_EQ(-1, Walk(document));
  EXPECT_EQ(Texts{"Cant find payload tag"}, reports_.errors());
  EXPECT_FALSE(MutexExists(name));
}

// ------------------------------------------------------------------- events

TEST_F(PayloadWalk, NoEventsSucceedsDoingNothing) {
  EXPECT_EQ(0, Walk(Payload(kSettings)));
  EXPECT_EQ(Texts{}, reports_.errors());
  EXPECT_EQ(Texts{}, reports_.printed());
}

TEST_F(PayloadWalk, EventsRunInDocumentOrderWithSettingsAfterThem) {
  const std::string first = UniqueMutexName("first");
  const std::string second = UniqueMutexName("second");
  // The FAILONMUTEX passes only because the CREATEMUTEX of its name comes later.
  EXPECT_EQ(0, Walk(Payload(CreateMutexXml(first) + FailOnMutexXml(second, "3") +
                            CreateMutexXml(second) + kSettings)));
  EXPECT_EQ(Texts{}, reports_.errors());
  EXPECT_TRUE(MutexExists(first));
  EXPECT_TRUE(MutexExists(second));
}

TEST_F(PayloadWalk, SecondOfThreeFailsStopsBeforeTheThird) {
  const std::string first = UniqueMutexName("first");
  const std::string third = UniqueMutexName("third");
  EXPECT_EQ(-1, Walk(Payload(kSettings + CreateMutexXml(first) + CreateMutexXml("") +
                             CreateMutexXml(third))));
  EXPECT_EQ((Texts{"CREATEMUTEX is missing a TITLE tag", "Event Tag processing failed"}),
            reports_.errors());
  EXPECT_TRUE(MutexExists(first));
  EXPECT_FALSE(MutexExists(third));
  EXPECT_EQ(0, gLastError);
  EXPECT_FALSE(gExitCodeFromEvent);
}

TEST_F(PayloadWalk, UnknownTypeStopsWithOnlyTheWalkMessage) {
  const std::string first = UniqueMutexName("first");
  const std::string third = UniqueMutexName("third");
  EXPECT_EQ(-1, Walk(Payload(kSettings + CreateMutexXml(first) +
                             "<event><type>createmutex</type><title>x</title></event>" +
                             CreateMutexXml(third))));
  EXPECT_EQ(Texts{"Event Tag processing failed"}, reports_.errors());
  EXPECT_TRUE(MutexExists(first));
  EXPECT_FALSE(MutexExists(third));
}

TEST_F(PayloadWalk, UnclosedLastEventEndsAWalkThatSucceeds) {
  const std::string first = UniqueMutexName("first");
  const std::string second = UniqueMutexName("second");
  const std::string last = UniqueMutexName("last");
  EXPECT_EQ(0, Walk(Payload(kSettings + CreateMutexXml(first) + CreateMutexXml(second) +
                            "<event><type>CREATEMUTEX</type><title>" + last + "</title>")));
  EXPECT_EQ(Texts{}, reports_.errors());
  EXPECT_EQ(Texts{"Failed to get data for tag: <event>\n"}, reports_.printed());
  EXPECT_TRUE(MutexExists(first));
  EXPECT_TRUE(MutexExists(second));
  EXPECT_FALSE(MutexExists(last));
}

TEST_F(PayloadWalk, EventInOtherCaseIsIgnored) {
  const std::string upper = UniqueMutexName("upper");
  const std::string lower = UniqueMutexName("lower");
  EXPECT_EQ(0, Walk(Payload(std::string(kSettings) + "<EVENT><type>CREATEMUTEX</type><title>" +
                            upper + "</title></EVENT>" + CreateMutexXml(lower))));
  EXPECT_FALSE(MutexExists(upper));
  EXPECT_TRUE(MutexExists(lower));
}

TEST_F(PayloadWalk, DeclarationCommentsAndLineBreaksAreIgnored) {
  const std::string name = UniqueMutexName("laid_out");
  const std::string document =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- written by hand -->\r\n<payload>\r\n"
      "\t<rootkey>HKEY_LOCAL_MACHINE</rootkey>\r\n\t<subkey>SOFTWARE\\Korvex</subkey>\r\n"
      "\t<installkey>InstallPath</installkey>\r\n\t<event>\r\n\t\t<type>CREATEMUTEX</type>\r\n"
      "\t\t<title>\r\n\t\t\t" + name + "  \r\n\t\t</title>\r\n\t</event>\r\n</payload>\r\n";
  EXPECT_EQ(0, Walk(document));
  EXPECT_EQ(Texts{}, reports_.errors());
  EXPECT_TRUE(MutexExists(name));
}

TEST_F(PayloadWalk, OwnMutexStopsALaterFailOnMutex) {
  const std::string guard = UniqueMutexName("guard");
  const std::string after = UniqueMutexName("after");
  EXPECT_EQ(-1, Walk(Payload(kSettings + CreateMutexXml(guard) + FailOnMutexXml(guard, "5") +
                             CreateMutexXml(after))));
  EXPECT_EQ((Texts{"Failing because mutex named " + guard + " exists (gLastError=5)",
                   "Event Tag processing failed"}),
            reports_.errors());
  EXPECT_EQ(5, gLastError);
  EXPECT_TRUE(gExitCodeFromEvent);
  EXPECT_FALSE(MutexExists(after));
}

// ------------------------------------------------------------ the resource

TEST(ExtractFileIntoXMLTAG, CopiesTheResourceAndTerminatesIt) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, "WALKTEXT", "XML");
  ASSERT_NE(nullptr, resource);
  const DWORD size = SizeofResource(module, resource);
  const char* data = static_cast<const char*>(LockResource(LoadResource(module, resource)));
  ASSERT_NE(nullptr, data);

  TextBlock* block = ExtractFileIntoXMLTAG(resource, module);
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(size, block->capacity);
  EXPECT_EQ(std::string(data, size), std::string(block->chars, size));
  EXPECT_EQ('\0', block->chars[size]);
  // The NUL inside the resource ends the text for the walk.
  EXPECT_LT(strlen(block->chars), static_cast<size_t>(size));
  DeleteTextBlock(block);
}

TEST(ExtractFileIntoXMLTAG, EmptyResourceGivesNothing) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, "EMPTYTEXT", "XML");
  ASSERT_NE(nullptr, resource);
  ASSERT_EQ(0u, SizeofResource(module, resource));
  EXPECT_EQ(nullptr, ExtractFileIntoXMLTAG(resource, module));
}

}  // namespace
