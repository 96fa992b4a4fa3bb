// payloadtool run as a child: exit codes and key lines of check, pack and
// show, and what pack leaves on disk.
#include <gtest/gtest.h>

#include <algorithm>

#include "pe_resources.h"
#include "process.h"
#include "scratch_dir.h"

namespace {

constexpr DWORD kExitOk = 0, kExitRejected = 1, kExitUsage = 2;

const std::string kGoodPayload =
    "<payload>\r\n\t<rootkey>HKEY_LOCAL_MACHINE</rootkey>\r\n"
    "\t<subkey>SOFTWARE\\Korvex\\Lumeno\\Lumeno2</subkey>\r\n"
    "\t<installkey>InstallPath</installkey>\r\n"
    "\t<event><type>RUN</type><src>Lumeno2_Admin.exe</src><cmdline>1</cmdline></event>\r\n"
    "\t<event><type>CREATEMUTEX</type><title>LumenoSetupRunning</title></event>\r\n"
    "</payload>\r\n";

class PayloadTool : public testing::Test {
 protected:
  std::string File(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.path() + name;
    EXPECT_TRUE(WriteWholeFile(path, bytes)) << path;
    return path;
  }

  static ProcessResult Tool(const std::string& arguments) {
    ProcessResult result = RunProcess(Quote(BuiltProgram("payloadtool.exe")) + " " + arguments,
                                      30000);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    return result;
  }

  // pack with the built bootstrapper as the stub.
  ProcessResult Pack(const std::string& out, const std::string& payloadFile,
                     const std::string& more = std::string()) {
    return Tool("pack " + Quote(BuiltProgram("bootstrapper.exe")) + " " + Quote(out) +
                " --payload " + Quote(payloadFile) + (more.empty() ? "" : " " + more));
  }

  ScratchDir dir_{"ptool"};
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(PayloadTool, CheckExitCodeAndKeyLines) {
  struct Case {
    const char* what;
    std::string payload;
    DWORD exitCode;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"good", kGoodPayload, kExitOk,
       {"event 1: \"RUN\"", "  src            \"Lumeno2_Admin.exe\"", "walk: completes, 2 events run",
        "result: 0 errors, 0 warnings"}},
      {"layout", "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey></payload>", kExitRejected,
       {"error: Cant find subkey tag\n", "walk: stops before any event: \"Cant find subkey tag\""}},
      {"second of three fails",
       "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>S</subkey><installkey>I</installkey>"
       "<event><type>RUNAPPS</type></event><event><type>TEMPDELETE</type></event>"
       "<event><type>RUNAPPS</type></event></payload>",
       kExitRejected,
       {"error: event 2: TEMPDELETE: no src; the run reports \"TEMPDELETE tag is missing a SRC\"",
        "walk: stops at event 2 (\"TEMPDELETE\"); events 3 to 3 never run"}},
      {"warnings only",
       "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>S</subkey><installkey>I</installkey>"
       "<event><type>CREATEMUTEX</type><title>M</title></event><event><type>RUNAPPS</type>"
       "</payload>",
       kExitOk,
       {"warning: event 2 is not closed: the walk ends there and still succeeds, and the run "
        "prints \"Failed to get data for tag: <event>\"",
        "result: 0 errors, 1 warning"}},
  };
  for (const Case& c : cases) {
    const ProcessResult result = Tool("check " + Quote(File("p.xml", c.payload)));
    EXPECT_EQ(c.exitCode, result.exitCode) << c.what << "\n" << result.output;
    for (const std::string& line : c.lines)
      EXPECT_TRUE(Contains(result.output, line)) << c.what << ": no [" << line << "] in\n"
                                                 << result.output;
  }
}

TEST_F(PayloadTool, UsageAndInputErrorsExitTwoWithOneLine) {
  const std::string payload = File("p.xml", kGoodPayload);
  const std::string notProgram = File("text.exe", "MZ but nothing more");
  const std::string installer = File("installer.bin", "installer bytes");
  const std::string stub = Quote(BuiltProgram("bootstrapper.exe"));
  const std::string out = Quote(dir_.path() + "out.exe");
  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case cases[] = {
      {"", "payloadtool: no command given"},
      {"frobnicate", "payloadtool: unknown command \"frobnicate\""},
      {"check " + Quote(dir_.path() + "none.xml"), "none.xml: no such file"},
      {"check " + Quote(File("empty.xml", "")), "empty.xml: empty payload file"},
      {"show " + Quote(notProgram), "text.exe: not a program"},
      {"pack " + Quote(notProgram) + " " + out + " --payload " + Quote(payload) +
           " --resource LUMENO2_ADMIN.EXE=" + Quote(installer),
       "text.exe: not a program"},
      {"pack " + stub + " " + out, "pack needs --payload"},
      {"pack " + stub + " " + out + " --payload " + Quote(payload) + " --resource LUMENO2_ADMIN.EXE",
       "has no '=' (expected NAME.TYPE=FILE)"},
      {"pack " + stub + " " + out + " --payload " + Quote(payload) +
           " --resource LUMENO2_ADMIN.EXE=" + Quote(dir_.path() + "gone.bin"),
       "gone.bin: no such file"},
      {"pack " + stub + " " + out + " --payload " + Quote(payload) + " --resource PAYLOAD.XML=" +
           Quote(installer),
       "PAYLOAD.XML is the payload"},
  };
  for (const Case& c : cases) {
    const ProcessResult result = Tool(c.arguments);
    EXPECT_EQ(kExitUsage, result.exitCode) << c.arguments << "\n" << result.output;
    EXPECT_TRUE(Contains(result.output, c.message)) << c.arguments << "\n" << result.output;
  }
  EXPECT_FALSE(FileExists(dir_.path() + "out.exe"));
}

TEST_F(PayloadTool, ResourceNamesMustBeSpellableByASrc) {
  const std::string payload = File("p.xml", kGoodPayload);
  const std::string installer = File("installer.bin", "installer bytes");
  const std::string name63(63, 'N');
  struct Case {
    std::string resource;
    bool accepted;
  };
  const Case cases[] = {
      {name63 + ".EXE", true},     {name63 + "N.EXE", false}, {"NAME.TYPE", true},
      {"NAME.TYPES", false},       {"A.B.DLL", true},         {".EXE", false},
      {"NAME", false},             {"NAME.", false},          {"dir\\NAME.EXE", false},
      {"#12.EXE", false},          {"CAF\xC9.EXE", false},
  };
  for (const Case& c : cases) {
    const std::string more = "--resource " + Quote(c.resource + "=" + installer) +
                             " --resource LUMENO2_ADMIN.EXE=" + Quote(installer);
    const ProcessResult result = Pack(dir_.path() + "out.exe", payload, more);
    EXPECT_EQ(c.accepted ? kExitOk : kExitUsage, result.exitCode) << c.resource << "\n"
                                                                   << result.output;
  }
}

TEST_F(PayloadTool, PackThenShowRoundTrip) {
  const std::string payload = File("p.xml", kGoodPayload);
  const std::string installer = File("installer.bin", std::string("MZ\0\x90 an installer", 18));
  const std::string out = dir_.path() + "setup.exe";
  const ProcessResult packed =
      Pack(out, payload, "--resource lumeno2_admin.exe=" + Quote(installer));
  ASSERT_EQ(kExitOk, packed.exitCode) << packed.output;

  const ProcessResult shown = Tool("show " + Quote(out));
  EXPECT_EQ(kExitOk, shown.exitCode);
  for (const std::string& line :
       {std::string("payload (PAYLOAD.XML, ") + std::to_string(kGoodPayload.size()) + " bytes",
        kGoodPayload, std::string("  XML              PAYLOAD                  0x0000   ") +
                          std::to_string(kGoodPayload.size()) + "\n",
        std::string("  EXE              LUMENO2_ADMIN            0x0000   18\n"),
        std::string("  #24 (MANIFEST)   #1")}) {
    EXPECT_TRUE(Contains(shown.output, line)) << "no [" << line << "] in\n" << shown.output;
  }

  // Read back in-process too: exact bytes, one language-neutral variant each.
  ResourceImage image;
  std::string error, data;
  ASSERT_TRUE(image.Open(out, &error)) << error;
  EXPECT_EQ(std::vector<WORD>{0}, image.Languages("XML", "PAYLOAD"));
  EXPECT_EQ(std::vector<WORD>{0}, image.Languages("EXE", "LUMENO2_ADMIN"));
  ASSERT_EQ(ResourceRead::kFound, image.Read("EXE", "LUMENO2_ADMIN", &data));
  EXPECT_EQ(std::string("MZ\0\x90 an installer", 18), data);
}

TEST_F(PayloadTool, PackReplacesEveryLanguageVariant) {
  // A stub carrying the payload twice: neutral and US English.
  const std::string stub = dir_.path() + "stub.exe";
  ASSERT_TRUE(CopyFileA(BuiltProgram("bootstrapper.exe").c_str(), stub.c_str(), FALSE));
  HANDLE update = BeginUpdateResourceA(stub.c_str(), FALSE);
  ASSERT_NE(nullptr, update);
  char english[] = "<payload>english</payload>";
  ASSERT_TRUE(UpdateResourceA(update, "XML", "PAYLOAD", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                              english, sizeof english - 1));
  ASSERT_TRUE(EndUpdateResourceA(update, FALSE));

  const std::string out = dir_.path() + "out.exe";
  const std::string payload = File("p.xml", kGoodPayload);
  const std::string installer = File("installer.bin", "installer");
  const ProcessResult packed =
      Tool("pack " + Quote(stub) + " " + Quote(out) + " --payload " + Quote(payload) +
           " --resource LUMENO2_ADMIN.EXE=" + Quote(installer));
  ASSERT_EQ(kExitOk, packed.exitCode) << packed.output;
  ResourceImage image;
  std::string error;
  ASSERT_TRUE(image.Open(out, &error)) << error;
  EXPECT_EQ(std::vector<WORD>{0}, image.Languages("XML", "PAYLOAD"));
}

TEST_F(PayloadTool, PackTwiceOverTheSameOutputLeavesOnlyTheLast) {
  const std::string out = dir_.path() + "setup.exe";
  const std::string installer = File("installer.bin", "installer");
  const std::string resource = "--resource LUMENO2_ADMIN.EXE=" + Quote(installer);
  ASSERT_EQ(kExitOk, Pack(out, File("first.xml", kGoodPayload), resource).exitCode);
  const std::string second = kGoodPayload + "<!-- second -->";
  ASSERT_EQ(kExitOk, Pack(out, File("second.xml", second), resource).exitCode);

  ResourceImage image;
  std::string error, data;
  ASSERT_TRUE(image.Open(out, &error)) << error;
  ASSERT_EQ(ResourceRead::kFound, image.Read("XML", "PAYLOAD", &data));
  EXPECT_EQ(second, data);
  EXPECT_EQ(std::vector<WORD>{0}, image.Languages("XML", "PAYLOAD"));
  // No temporary file is left beside the output.
  const std::vector<std::string> files = ListDirectory(dir_.path(), true);
  EXPECT_EQ((std::vector<std::string>{"first.xml", "installer.bin", "second.xml", "setup.exe"}),
            files);
}

TEST_F(PayloadTool, PackRefusesWhatARunWouldFailOnUnlessForced) {
  const std::string out = dir_.path() + "setup.exe";
  const std::string installer = File("installer.bin", "installer");
  const std::string resource = "--resource LUMENO2_ADMIN.EXE=" + Quote(installer);
  const std::string broken =
      File("broken.xml", "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>S</subkey>"
                         "<installkey>I</installkey><event><type>Run</type></event></payload>");

  ProcessResult result = Pack(out, broken, resource);
  EXPECT_EQ(kExitRejected, result.exitCode);
  EXPECT_TRUE(Contains(result.output, "unknown type \"Run\"")) << result.output;
  EXPECT_TRUE(Contains(result.output, "refusing to pack")) << result.output;
  EXPECT_FALSE(FileExists(out));

  // The RUN event's program is not in the stub and not given.
  std::string missing = kGoodPayload;
  missing.replace(missing.find("Lumeno2_Admin.exe"), 17, "Setup3.exe");
  result = Pack(out, File("missing.xml", missing));
  EXPECT_EQ(kExitRejected, result.exitCode);
  EXPECT_TRUE(Contains(result.output, "holds no resource SETUP3.EXE; the run reports "
                                       "\"ExtractFile - FindResource failed name=SETUP3, "
                                       "ext=EXE\""))
      << result.output;
  EXPECT_FALSE(FileExists(out));

  result = Pack(out, broken, resource + " --force");
  EXPECT_EQ(kExitOk, result.exitCode) << result.output;
  EXPECT_TRUE(Contains(result.output, "despite its errors (--force)")) << result.output;
  std::string data;
  ResourceImage image;
  ASSERT_TRUE(image.Open(out, &data)) << data;
  ASSERT_EQ(ResourceRead::kFound, image.Read("XML", "PAYLOAD", &data));
  EXPECT_TRUE(Contains(data, "<type>Run</type>"));
}

TEST_F(PayloadTool, FailedPackLeavesTheOutputAsItWas) {
  const std::string out = File("setup.exe", "the previous output");
  const std::string installer = File("installer.bin", "installer");
  // Held open without sharing, the output cannot be replaced.
  HANDLE holder =
      CreateFileA(out.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  const ProcessResult result =
      Pack(out, File("p.xml", kGoodPayload), "--resource LUMENO2_ADMIN.EXE=" + Quote(installer));
  CloseHandle(holder);
  EXPECT_EQ(kExitUsage, result.exitCode);
  EXPECT_TRUE(Contains(result.output, "cannot replace")) << result.output;
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(out, &bytes));
  EXPECT_EQ("the previous output", bytes);
  const std::vector<std::string> files = ListDirectory(dir_.path(), true);
  EXPECT_EQ((std::vector<std::string>{"installer.bin", "p.xml", "setup.exe"}), files);
}

}  // namespace
