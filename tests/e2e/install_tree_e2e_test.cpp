// The install-tree events end to end: a bootstrapper variant carrying the
// child program as its installer and a data file, run as a real process with
// a private TMP, installs into a scratch directory; the test reads back the
// files, the registry, the programs started and the exit code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_program/child_orders.h"
#include "process.h"
#include "registry_guard.h"
#include "resource_pack.h"
#include "scratch_dir.h"
#include "started_programs.h"

namespace {

constexpr char kSubkey[] = "SOFTWARE\\BootstrapperTests\\InstallTreeE2E";
constexpr char kInstallerKey[] = "SOFTWARE\\BootstrapperTests\\InstallTreeE2E\\Installer";
constexpr char kInstallKey[] = "InstallPath";
constexpr DWORD kRunLimitMs = 30000;

std::string Payload(const std::string& events) {
  return "<payload>\r\n <rootkey>HKEY_LOCAL_MACHINE</rootkey>\r\n <subkey>" + std::string(kSubkey) +
         "</subkey>\r\n <installkey>InstallPath</installkey>\r\n" + events + "</payload>\r\n";
}

std::string Event(const std::string& attributes) { return " <event>" + attributes + "</event>\r\n"; }

// Bytes of every value, more than one read buffer's worth.
std::string DataFile() {
  std::string bytes(70001, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  return ReadWholeFile(path, &bytes) ? bytes : "<unreadable " + path + ">";
}

class InstallTreeScenario : public testing::Test {
 protected:
  void SetUp() override {
    temp_ = dir_.path() + "temp\\";
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((dir_.path() + "setup").c_str(), nullptr));
    char saved[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    savedTmp_ = length > 0 && length < MAX_PATH ? saved : "";
    // The variant and what it starts inherit it.
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    // A failure would wait for its message box to be closed: debug is off here.
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug");
  }

  void TearDown() override {
    SetEnvironmentVariableA("TMP", savedTmp_.empty() ? nullptr : savedTmp_.c_str());
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    DeleteRegistryTree(HKEY_CURRENT_USER, kSubkey);
  }

  // A copy of the built bootstrapper with this payload, the child program as
  // LUMENO2_ADMIN.EXE and the data file as PLUGINS.DAT.
  std::string Variant(const std::string& payload) {
    std::string child, error;
    EXPECT_TRUE(ReadWholeFile(BuiltProgram("child_program.exe"), &child));
    const std::string path = dir_.path() + "setup\\tree_setup.exe";
    const std::vector<ResourceEdit> edits = {
        {ResourceName{"PAYLOAD", "XML"}, false, payload},
        {ResourceName{"LUMENO2_ADMIN", "EXE"}, false, child},
        {ResourceName{"PLUGINS", "DAT"}, false, DataFile()},
    };
    EXPECT_TRUE(WriteEditedCopy(BuiltProgram("bootstrapper.exe"), path, edits, &error)) << error;
    return path;
  }

  // Runs in the variant's own directory, where a relative path would land.
  ProcessResult Run(const std::string& commandLine) {
    ProcessResult result = RunProcess(commandLine, kRunLimitMs, dir_.path() + "setup");
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    return result;
  }

  RegistryValueGuard debugSwitch_{HKEY_LOCAL_MACHINE, "SOFTWARE", "lumenodebug"};
  ScratchDir dir_{"treee2e"};
  std::string temp_;
  std::string savedTmp_;
};

// A realistic installation: the installer runs through the shell and writes
// the install path; the bootstrapper then copies itself (named by the marker
// that RUN added) and a data file into the tree, cleans up TMP and starts the
// installed programs.
TEST_F(InstallTreeScenario, InstallerRunThenTheTreeIsCompleted) {
  const std::string install = dir_.path() + "Lumeno Photo";
  const std::string tag = std::to_string(GetCurrentProcessId());
  const std::string app = "tree_e2e_app_" + tag + ".exe";
  const std::string detector = "tree_e2e_detector_" + tag + ".exe";
  ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr));
  for (const std::string& name : {app, detector}) {
    ASSERT_TRUE(CopyFileA(BuiltProgram("fake_app.exe").c_str(), (install + "\\" + name).c_str(),
                          TRUE));
  }
  ASSERT_EQ(ERROR_SUCCESS,
            SetRegistryString(HKEY_LOCAL_MACHINE, kInstallerKey, "RunLumeno", install + "\\" + app));
  ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kInstallerKey, "RunDetector",
                                             install + "\\" + detector));
  ASSERT_TRUE(WriteWholeFile(install + "\\old.dll", "left alone"));
  ASSERT_TRUE(WriteWholeFile(temp_ + "leftover.tmp", "stale"));
  ASSERT_TRUE(WriteWholeFile(temp_ + "keep.tmp", "kept"));
  ChildOrders child(dir_.path() + "child.log");
  child.WriteInstallPath(kSubkey, kInstallKey, install);

  const std::string variant = Variant(Payload(
      Event("<type>RUN</type><src>LUMENO2_ADMIN.EXE</src><cmdline>1</cmdline>"
            "<selfcmdline>1</selfcmdline>") +
      Event("<type>CALLERCOPY</type><src>ignored.exe</src><dst>Setup.exe</dst>"
            "<hidden>1</hidden>") +
      Event("<type>COPY</type><src>plugins.dat</src><dst>Plugins\\Data\\plugins.dat</dst>") +
      Event("<type>TEMPDELETE</type><src>leftover.tmp</src>") + Event("<type>RUNAPPS</type>") +
      Event("<type>REMOVE</type><src>old.dll</src>")));
  const ProcessResult result = Run(Quote(variant) + " /LANG=de");
  const std::vector<std::string> started = RunningInStartOrder({app, detector});
  EndRunning({app, detector});

  EXPECT_EQ(0u, result.exitCode);
  const auto runs = child.Runs();
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ("/LANG=de /CALLER \"" + variant + "\"", Field(runs[0], "tail"));
  EXPECT_EQ("written", Field(runs[0], "install"));
  std::string installValue;
  EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, kSubkey, kInstallKey, &installValue));
  EXPECT_EQ(install, installValue);

  const std::string setup = install + "\\Setup.exe";
  // Compared whole, not printed: the program is a megabyte.
  EXPECT_TRUE(FileBytes(variant) == FileBytes(setup)) << setup << " differs from " << variant;
  const DWORD attributes = GetFileAttributesA(setup.c_str());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, attributes);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << std::hex << attributes;
  EXPECT_TRUE(DataFile() == FileBytes(install + "\\Plugins\\Data\\plugins.dat"))
      << "the extracted data file differs";
  EXPECT_EQ("left alone", FileBytes(install + "\\old.dll"));

  EXPECT_FALSE(FileExists(temp_ + "leftover.tmp"));
  EXPECT_TRUE(FileExists(temp_ + "keep.tmp"));
  EXPECT_EQ((std::vector<std::string>{app, detector}), started);
}

// A COPY before anything has read the install path fails the walk: nothing is
// written, the later events do not run and the exit code says so.
TEST_F(InstallTreeScenario, CopyBeforeAnyInstallPathFailsTheRun) {
  ASSERT_TRUE(WriteWholeFile(temp_ + "leftover.tmp", "stale"));
  const std::string variant =
      Variant(Payload(Event("<type>COPY</type><src>plugins.dat</src><dst>plugins.dat</dst>") +
                      Event("<type>TEMPDELETE</type><src>leftover.tmp</src>")));
  const ProcessResult result = Run(Quote(variant));
  EXPECT_EQ(0xFFFFFFFFu, result.exitCode);
  EXPECT_TRUE(FileExists(temp_ + "leftover.tmp"));
  EXPECT_FALSE(FileExists(dir_.path() + "setup\\plugins.dat"));
}

}  // namespace
