// RUNAPPS, REMOVE, CALLERCOPY, TEMPDELETE and COPY in-process: copies into a
// scratch install directory, deletions in a private temporary directory (TMP),
// and copies of fake_app.exe started from the test's own registry keys. The
// events run with a record of a payload's capacity, as the walk gives them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "events/dispatch.h"
#include "events/event_record.h"
#include "payload/payload_walk.h"
#include "process.h"
#include "registry_guard.h"
#include "report_capture.h"
#include "scratch_dir.h"
#include "started_programs.h"
#include "state/process_state.h"

namespace {

constexpr char kLocalMachine[] = "HKEY_LOCAL_MACHINE";
constexpr char kSubkey[] = "SOFTWARE\\BootstrapperTests\\InstallTree";
constexpr char kInstallerKey[] = "SOFTWARE\\BootstrapperTests\\InstallTree\\Installer";
constexpr char kPreferencesKey[] = "SOFTWARE\\BootstrapperTests\\InstallTree\\Preferences";
constexpr char kInstallKey[] = "InstallPath";
constexpr char kCaller[] = "/S /LANG=de";
constexpr size_t kPayloadCapacity = 4096;

using Messages = std::vector<std::string>;

std::string ResourceBytes(const char* name, const char* type) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, name, type);
  if (!resource) return std::string();
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
  return bytes ? std::string(bytes, SizeofResource(module, resource)) : std::string();
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  return ReadWholeFile(path, &bytes) ? bytes : "<unreadable " + path + ">";
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class InstallTree : public testing::Test {
 protected:
  InstallTree()
      : dir_("tree"), temp_(dir_.path() + "temp\\"), install_(dir_.path() + "app\\") {}

  void SetUp() override {
    ResetProcessState();
    gCallerCmdLine = kCaller;
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(install_.c_str(), nullptr));
    char saved[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    savedTmp_ = length > 0 && length < MAX_PATH ? saved : "";
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp_.c_str()));
    ASSERT_TRUE(AllocEventRecord(&workspace_, kPayloadCapacity));
  }

  void TearDown() override {
    FreeEventRecord(&workspace_);
    SetEnvironmentVariableA("TMP", savedTmp_.empty() ? nullptr : savedTmp_.c_str());
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    DeleteRegistryTree(HKEY_CURRENT_USER, kSubkey);
    ResetProcessState();
  }

  // Runs one event; smallRecord gives it a record of the event's own size,
  // as a lone ProcessEvent call does, instead of the payload's.
  int Run(const std::string& attributes, const char* rootkey = kLocalMachine,
          bool smallRecord = false) {
    std::string content = attributes;
    TextBlock event{&content[0], content.size()};
    return ProcessEvent(rootkey, kSubkey, event, GetModuleHandleA(nullptr), kInstallKey,
                        smallRecord ? nullptr : &workspace_);
  }

  void SetInstallPath() {
    ASSERT_LT(install_.size(), sizeof gInstallPath);
    memcpy(gInstallPath, install_.c_str(), install_.size() + 1);
  }

  ScratchDir dir_;
  std::string temp_;
  std::string install_;
  std::string savedTmp_;
  EventRecord workspace_ = {};
};

// Each failure on its own, in the order the conditions are tested: an event
// missing two things reports only the first.
TEST_F(InstallTree, FailuresReportExactMessagesAndResults) {
  const std::string caller = dir_.path() + "caller.exe";
  ASSERT_TRUE(WriteWholeFile(caller, "caller program"));
  const std::string missing = dir_.path() + "missing.exe";
  // Install path and dst joined take 260 characters: one too many.
  const std::string longDst(260 - install_.size(), 'd');
  auto registryFailure = [](const std::string& root) {
    return "RUNAPPS Could not find registry key for install path - [" + root + "][" + kSubkey +
           "][InstallPath]";
  };

  struct Case {
    const char* what;
    std::string attributes;
    bool installPathSet;
    const char* installValue;  // HKLM\<subkey> InstallPath; null: absent
    const char* rootkey;
    int result;
    Messages messages;
  };
  const Case cases[] = {
      {"RUNAPPS from another root, though the value exists", "<type>RUNAPPS</type>", false,
       "C:\\Program Files\\Lumeno", "HKEY_CURRENT_USER", -1,
       {registryFailure("HKEY_CURRENT_USER")}},
      {"RUNAPPS root in lower case", "<type>RUNAPPS</type>", false, "C:\\Program Files\\Lumeno",
       "hkey_local_machine", -1, {registryFailure("hkey_local_machine")}},
      {"RUNAPPS without the value", "<type>RUNAPPS</type>", false, nullptr, kLocalMachine, -1,
       {registryFailure(kLocalMachine)}},
      {"RUNAPPS with an empty value", "<type>RUNAPPS</type>", false, "", kLocalMachine, -1,
       {"No install path- cannot run apps"}},
      {"REMOVE without src", "<type>REMOVE</type><dst>x</dst>", true, nullptr, kLocalMachine, -1,
       {}},
      {"REMOVE with a blank src", "<type>REMOVE</type><src> \t </src>", true, nullptr,
       kLocalMachine, -1, {}},
      {"CALLERCOPY before an install path",
       "<type>CALLERCOPY</type><src>" + caller + "</src><dst>Setup.exe</dst>", false, nullptr,
       kLocalMachine, -1, {"install path is not set before a copy"}},
      {"CALLERCOPY without source or dst", "<type>CALLERCOPY</type>", true, nullptr,
       kLocalMachine, 0, {std::string("CALLERCOPY failed :") + kCaller}},
      {"CALLERCOPY without dst", "<type>CALLERCOPY</type><src>" + caller + "</src>", true, nullptr,
       kLocalMachine, 0, {"CALLERCOPY tag is missing a DST"}},
      {"CALLERCOPY of a missing file",
       "<type>CALLERCOPY</type><src>" + missing + "</src><dst>Setup.exe</dst>", true, nullptr,
       kLocalMachine, -1, {"CALLERCOPY failed: " + missing + " " + install_ + "Setup.exe"}},
      {"CALLERCOPY into a missing directory",
       "<type>CALLERCOPY</type><src>" + caller + "</src><dst>nodir\\Setup.exe</dst>", true,
       nullptr, kLocalMachine, -1,
       {"CALLERCOPY failed: " + caller + " " + install_ + "nodir\\Setup.exe"}},
      {"CALLERCOPY to a path that does not fit",
       "<type>CALLERCOPY</type><src>" + caller + "</src><dst>" + longDst + "</dst>", true, nullptr,
       kLocalMachine, -1, {"CALLERCOPY failed: " + caller + " " + install_ + longDst}},
      {"TEMPDELETE without src", "<type>TEMPDELETE</type><dst>x</dst>", true, nullptr,
       kLocalMachine, -1, {"TEMPDELETE tag is missing a SRC"}},
      {"COPY before an install path", "<type>COPY</type>", false, nullptr, kLocalMachine, -1,
       {"install path is not set before a copy"}},
      {"COPY without src or dst", "<type>COPY</type>", true, nullptr, kLocalMachine, -1,
       {"COPY tag is missing a SRC"}},
      {"COPY without dst", "<type>COPY</type><src>tool.dll</src>", true, nullptr, kLocalMachine,
       -1, {"COPY tag is missing a DST"}},
      {"COPY of a src without a dot", "<type>COPY</type><src>tooldll</src><dst>t</dst>", true,
       nullptr, kLocalMachine, -1, {"malformed SRC tag: tooldll"}},
      {"COPY to a path that does not fit",
       "<type>COPY</type><src>tool.dll</src><dst>" + longDst + "</dst>", true, nullptr,
       kLocalMachine, -1, {"Could not create all the directories in [" + install_ + longDst + "]\n"}},
      {"COPY of a missing resource", "<type>COPY</type><src>nope.dll</src><dst>nope.dll</dst>",
       true, nullptr, kLocalMachine, -1,
       {"ExtractFile - FindResource failed name=NOPE, ext=DLL",
        "Cant extract NOPE.DLL to " + install_ + "nope.dll"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    if (c.installValue) {
      ASSERT_EQ(ERROR_SUCCESS,
                SetRegistryString(HKEY_LOCAL_MACHINE, kSubkey, kInstallKey, c.installValue));
    }
    gInstallPath[0] = '\0';
    if (c.installPathSet) SetInstallPath();
    ReportCapture reports;
    EXPECT_EQ(c.result, Run(c.attributes, c.rootkey));
    EXPECT_EQ(c.messages, reports.errors());
  }
  // No failing event left anything behind, under a cut name or any other.
  EXPECT_EQ(std::vector<std::string>{}, ListDirectory(install_));
}

// The caller command line wins over the src tag when it holds the marker
// (exactly "/CALLER " and a quote) with a closing quote and the path fits
// the record.
TEST_F(InstallTree, CallerCopyTakesThePathQuotedAfterTheFirstMarker) {
  SetInstallPath();
  ASSERT_TRUE(CreateDirectoryA((dir_.path() + "caller dir").c_str(), nullptr));
  const std::string caller = dir_.path() + "caller dir\\Lumeno Setup.exe";
  const std::string decoy = dir_.path() + "decoy.exe";
  const std::string longCaller = dir_.path() + std::string(150, 'c') + ".exe";
  ASSERT_TRUE(WriteWholeFile(caller, "the calling installer"));
  ASSERT_TRUE(WriteWholeFile(decoy, "the src tag's file"));
  ASSERT_TRUE(WriteWholeFile(longCaller, "a caller with a long path"));
  const std::string target = install_ + "Setup.exe";

  struct Case {
    std::string callerLine;
    std::string src;
    bool smallRecord;
    std::string copied;  // the file whose bytes the target holds; empty: no target
  };
  const Case cases[] = {
      {"/S /LANG=de /CALLER \"" + caller + "\" /X", decoy, false, caller},
      {"/CALLER \"" + caller + "\" /CALLER \"" + decoy + "\"", "", false, caller},
      {"/caller \"" + caller + "\"", decoy, false, decoy},
      {"/CALLER " + caller, decoy, false, decoy},
      {"/CALLER \"" + caller, decoy, false, decoy},
      // The path is longer than the whole event text, so it does not fit.
      {"/CALLER \"" + longCaller + "\"", decoy, true, decoy},
      {"/CALLER \"" + longCaller + "\"", decoy, false, longCaller},
      // An empty quoted path replaces the tag with nothing.
      {"/X /CALLER \"\" /Y", decoy, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.callerLine);
    DeleteFileA(target.c_str());
    gCallerCmdLine = c.callerLine.c_str();
    ReportCapture reports;
    EXPECT_EQ(0, Run("<type>CALLERCOPY</type><src>" + c.src + "</src><dst>Setup.exe</dst>",
                     kLocalMachine, c.smallRecord));
    if (c.copied.empty()) {
      EXPECT_EQ(Messages{"CALLERCOPY failed :" + c.callerLine}, reports.errors());
      EXPECT_FALSE(FileExists(target));
    } else {
      EXPECT_EQ(Messages{}, reports.errors());
      EXPECT_EQ(FileBytes(c.copied), FileBytes(target));
    }
  }
}

// An earlier hidden copy is replaced whatever hidden says; only "1" hides
// the new one.
TEST_F(InstallTree, CallerCopyReplacesAHiddenCopyAndHidesOnlyForOne) {
  SetInstallPath();
  const std::string caller = dir_.path() + "setup.exe";
  ASSERT_TRUE(WriteWholeFile(caller, "this run's installer"));
  gCallerCmdLine = "";
  const std::string target = install_ + "Setup.exe";
  const struct {
    const char* hidden;
    bool hides;
  } cases[] = {{"1", true}, {"yes", false}, {"true", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("hidden [") + c.hidden + "]");
    ASSERT_TRUE(WriteWholeFile(target, "an earlier run's copy"));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ReportCapture reports;
    EXPECT_EQ(0, Run("<type>CALLERCOPY</type><src>" + caller + "</src><dst>Setup.exe</dst>" +
                     "<hidden>" + c.hidden + "</hidden>"));
    EXPECT_EQ(Messages{}, reports.errors());
    EXPECT_EQ("this run's installer", FileBytes(target));
    const DWORD attributes = GetFileAttributesA(target.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_EQ(c.hides, (attributes & FILE_ATTRIBUTE_HIDDEN) != 0) << std::hex << attributes;
  }
}

// A missing source or dst does not stop the walk; REMOVE without src does,
// silently.
TEST_F(InstallTree, WalkGoesOnAfterCallerCopyFindsNothingToCopy) {
  SetInstallPath();
  const std::string head =
      "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>" + std::string(kSubkey) +
      "</subkey><installkey>InstallPath</installkey>";
  const std::string copy =
      "<event><type>COPY</type><src>readme.txt</src><dst>readme.txt</dst></event>";
  const struct {
    std::string events;
    int result;
    Messages messages;
    bool copied;
  } cases[] = {
      {"<event><type>CALLERCOPY</type><dst>Setup.exe</dst></event>"
       "<event><type>CALLERCOPY</type><src>x.exe</src></event>" + copy,
       0,
       {std::string("CALLERCOPY failed :") + kCaller, "CALLERCOPY tag is missing a DST"},
       true},
      {"<event><type>REMOVE</type></event>" + copy, -1, {"Event Tag processing failed"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.events);
    DeleteFileA((install_ + "readme.txt").c_str());
    std::string text = head + c.events + "</payload>";
    TextBlock payload{&text[0], text.size()};
    ReportCapture reports;
    EXPECT_EQ(c.result, ProcessXML2(&payload, GetModuleHandleA(nullptr)));
    EXPECT_EQ(c.messages, reports.errors());
    EXPECT_EQ(c.copied, FileExists(install_ + "readme.txt"));
  }
}

TEST_F(InstallTree, CopyExtractsTheUpperCasedResourceCreatingDirectories) {
  SetInstallPath();
  const std::string tool = ResourceBytes("TOOL", "DLL");
  const std::string readme = ResourceBytes("README", "TXT");
  ASSERT_FALSE(tool.empty());
  ASSERT_FALSE(readme.empty());
  ASSERT_TRUE(WriteWholeFile(install_ + "old.dll", "an older library"));
  const struct {
    const char* src;
    const char* dst;
    const std::string& bytes;
  } cases[] = {
      {"tool.dll", "tool.dll", tool},
      {"Tool.Dll", "old.dll", tool},  // replaces what is there
      {"sub\\ReadMe.Txt", "sub\\dir\\file.txt", readme},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.src);
    ReportCapture reports;
    EXPECT_EQ(0, Run(std::string("<type>COPY</type><src>") + c.src + "</src><dst>" + c.dst +
                     "</dst>"));
    EXPECT_EQ(Messages{}, reports.errors());
    EXPECT_EQ(c.bytes, FileBytes(install_ + c.dst));
  }
  EXPECT_TRUE(IsDirectory(install_ + "sub"));
  EXPECT_TRUE(IsDirectory(install_ + "sub\\dir"));
  EXPECT_EQ((std::vector<std::string>{"old.dll", "sub", "tool.dll"}), ListDirectory(install_));
}

// TEMPDELETE takes src as it stands below the temporary directory; a missing
// file is fine; a path that does not fit deletes nothing, not even the file
// its cut form would name.
TEST_F(InstallTree, TempDeleteRemovesOnlyTheNamedFile) {
  ASSERT_TRUE(CreateDirectoryA((temp_ + "sub").c_str(), nullptr));
  const std::string longSrc(260 - temp_.size(), 'x');
  const std::string cut = longSrc.substr(0, longSrc.size() - 1);
  for (const std::string& name : {std::string("a.tmp"), std::string("sub\\b.tmp"),
                                  std::string("keep.tmp"), cut}) {
    ASSERT_TRUE(WriteWholeFile(temp_ + name, "x")) << name;
  }
  const struct {
    std::string src;
    Messages messages;
    const char* gone;
  } cases[] = {
      {"a.tmp", {}, "a.tmp"},
      {"sub\\b.tmp", {}, "sub\\b.tmp"},
      {"missing.tmp", {}, nullptr},
      {longSrc, {"TEMPDELETE path too long: " + longSrc}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.src);
    ReportCapture reports;
    EXPECT_EQ(0, Run("<type>TEMPDELETE</type><src>" + c.src + "</src>"));
    EXPECT_EQ(c.messages, reports.errors());
    if (c.gone) {
      EXPECT_FALSE(FileExists(temp_ + c.gone));
    }
  }
  EXPECT_TRUE(FileExists(temp_ + "keep.tmp"));
  EXPECT_TRUE(FileExists(temp_ + cut));
}

// No temporary directory (TMP longer than GetTempPathA can give, which makes
// it fail here): its own report, nothing deleted, and the walk goes on.
TEST_F(InstallTree, TempDeleteWithoutATemporaryDirectoryDeletesNothing) {
  ASSERT_TRUE(WriteWholeFile(temp_ + "a.tmp", "x"));
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", ("C:\\" + std::string(297, 't') + "\\").c_str()));
  char probe[MAX_PATH];
  SetLastError(0xdeadbeef);
  ASSERT_EQ(0u, GetTempPathA(MAX_PATH, probe));
  const DWORD error = GetLastError();
  ASSERT_NE(0xdeadbeef, error);
  ReportCapture reports;
  EXPECT_EQ(0, Run("<type>TEMPDELETE</type><src>a.tmp</src>"));
  EXPECT_EQ(Messages{"TEMPDELETE - GetTempPath failed, GetLastError()=" + std::to_string(error)},
            reports.errors());
  EXPECT_TRUE(FileExists(temp_ + "a.tmp"));
  printf("GetTempPathA with a 300-character TMP: 0, GetLastError()=%lu\n", error);
}

TEST_F(InstallTree, RemoveChecksItsSrcAndTouchesNothing) {
  const std::string file = install_ + "old.dll";
  ASSERT_TRUE(WriteWholeFile(file, "kept"));
  ReportCapture reports;
  EXPECT_EQ(0, Run("<type>REMOVE</type><src>" + file + "</src>"));
  EXPECT_EQ(Messages{}, reports.errors());
  EXPECT_EQ("kept", FileBytes(file));
}

// RUNAPPS starts the programs that the installation's values name, the
// application first, and the detector unless the user's DWORD disables it.
// The shell has created the processes when RUNAPPS returns, so the test
// looks for them right away, by their names.
TEST_F(InstallTree, RunAppsStartsTheNamedProgramsUnlessTheDetectorIsDisabled) {
  const std::string tag = std::to_string(GetCurrentProcessId());
  const std::string app = "tree_app_" + tag + ".exe";
  const std::string detector = "tree_detector_" + tag + ".exe";
  for (const std::string& name : {app, detector}) {
    ASSERT_TRUE(CopyFileA(BuiltProgram("fake_app.exe").c_str(), (install_ + name).c_str(), TRUE));
  }
  // Stored without the backslash, which RUNAPPS's read adds.
  const std::string installValue = install_.substr(0, install_.size() - 1);

  enum Preference { kNone, kDword1, kDword0, kString1 };
  struct Case {
    const char* what;
    bool appSet;
    bool detectorSet;
    Preference preference;
    std::vector<std::string> started;
  };
  const Case cases[] = {
      {"both", true, true, kNone, {app, detector}},
      {"both, detector disabled", true, true, kDword1, {app}},
      {"detector only", false, true, kNone, {detector}},
      {"detector only, disabled", false, true, kDword1, {}},
      {"detector only, DWORD 0", false, true, kDword0, {detector}},
      {"detector only, string 1", false, true, kString1, {detector}},
      {"installer key without either value", false, false, kNone, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSubkey);
    DeleteRegistryTree(HKEY_CURRENT_USER, kSubkey);
    ASSERT_EQ(ERROR_SUCCESS,
              SetRegistryString(HKEY_LOCAL_MACHINE, kSubkey, kInstallKey, installValue));
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kInstallerKey, "Other", "x"));
    if (c.appSet) {
      ASSERT_EQ(ERROR_SUCCESS,
                SetRegistryString(HKEY_LOCAL_MACHINE, kInstallerKey, "RunLumeno", install_ + app));
    }
    if (c.detectorSet) {
      ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, kInstallerKey, "RunDetector",
                                                 install_ + detector));
    }
    if (c.preference == kDword1 || c.preference == kDword0) {
      ASSERT_EQ(ERROR_SUCCESS, SetRegistryDword(HKEY_CURRENT_USER, kPreferencesKey,
                                                "DisableMediaDetector", c.preference == kDword1));
    } else if (c.preference == kString1) {
      ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_CURRENT_USER, kPreferencesKey,
                                                 "DisableMediaDetector", "1"));
    }
    strcpy(gInstallPath, "C:\\stale\\");
    ReportCapture reports;
    EXPECT_EQ(0, Run("<type>RUNAPPS</type>"));
    const std::vector<std::string> started = RunningInStartOrder({app, detector});
    EndRunning({app, detector});
    EXPECT_EQ(c.started, started);
    EXPECT_EQ(Messages{}, reports.errors());
    EXPECT_EQ(install_, gInstallPath);
  }
  // Without the Installer key at all nothing starts either.
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, kInstallerKey);
  EXPECT_EQ(0, Run("<type>RUNAPPS</type>"));
  EXPECT_EQ(std::vector<std::string>{}, RunningInStartOrder({app, detector}));
  EndRunning({app, detector});
}

}  // namespace
