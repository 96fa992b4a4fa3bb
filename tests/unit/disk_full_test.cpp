// Extraction and downloads onto drive T:, a 1 MiB tmpfs that the tmpfs_drive
// CTest fixture links into this build's Wine prefix. There a 2 MiB write
// returns TRUE having written only what fitted.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "events/dispatch.h"
#include "files/extract_file.h"
#include "loopback_server.h"
#include "pattern_bytes.h"
#include "report_capture.h"
#include "scratch_dir.h"
#include "state/process_state.h"
#include "wine_gap.h"

namespace {

constexpr size_t kFillerSize = 2 * 1024 * 1024;  // FILLER.BIN
constexpr size_t kPatternSize = 70001;           // PATTERN.BIN
const char kDrive[] = "T:\\";

ULONGLONG FreeBytes() {
  ULARGE_INTEGER free = {};
  GetDiskFreeSpaceExA(kDrive, &free, nullptr, nullptr);
  return free.QuadPart;
}

std::vector<std::string> FilesOnDrive(const char* pattern = "T:\\*") {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do
    if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
      names.push_back(found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

class FullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    ULARGE_INTEGER total = {};
    if (!GetDiskFreeSpaceExA(kDrive, nullptr, &total, nullptr))
      GTEST_SKIP() << "drive T: is not there: the tmpfs_drive fixture could not mount a "
                      "1 MiB tmpfs (it needs root and mount); see its output";
    ASSERT_LT(total.QuadPart, kFillerSize) << "drive T: is not the small tmpfs";
    RemoveTree(kDrive);  // whatever an earlier run left (the root itself stays)
  }
};

}  // namespace

TEST_F(FullDisk, ShortWriteFailsAndTheOldTargetStaysWhole) {
  const std::string target = "T:\\target.bin";
  ASSERT_TRUE(WriteWholeFile(target, "old target"));
  const ULONGLONG freeBefore = FreeBytes();
  char scratch[MAX_PATH];
  ASSERT_NE(0u, GetTempFileNameA("T:", "ppp", GetCurrentThreadId(), scratch));

  ReportCapture reports;
  EXPECT_EQ(-1, ExtractFile(GetModuleHandleA(nullptr), "FILLER", "BIN", target.c_str()));
  // The platform reported success for the short write and gave no code.
  EXPECT_EQ(std::vector<std::string>{"ExtractFile - WriteFile failed name=FILLER, ext=BIN, path=" +
                                     std::string(scratch) + ", GetLastError()=112"},
            reports.errors());
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target, &bytes));
  EXPECT_EQ("old target", bytes);
  EXPECT_TRUE(FilesOnDrive("T:\\ppp*").empty()) << "the incomplete scratch file stayed";
  EXPECT_EQ(freeBefore, FreeBytes()) << "space was not given back";
}

TEST_F(FullDisk, WhatFitsIsExtractedThere) {
  const std::string target = "T:\\fits.bin";
  ReportCapture reports;
  ASSERT_EQ(0, ExtractFile(GetModuleHandleA(nullptr), "PATTERN", "BIN", target.c_str()));
  EXPECT_TRUE(reports.errors().empty());
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target, &bytes));
  EXPECT_TRUE(bytes == PatternBytes(kPatternSize));
  DeleteFileA(target.c_str());
}

// The events with their temporary directory on the full drive: RUN's
// extraction of a 2 MiB program, and URLRUN's hidden download of 2 MiB. Each
// fails with its exact reports and leaves nothing on the drive, the partial
// download included, and the space is given back.
TEST_F(FullDisk, EventsWritingTheTemporaryDirectoryFailAndLeaveNothing) {
  LoopbackServer server;
  ASSERT_TRUE(server.running());
  const std::string url = server.Url("/body?size=" + std::to_string(kFillerSize));
  const struct {
    const char* what;
    std::string event;
    std::vector<std::string> reports;  // regular expressions
  } cases[] = {
      {"RUN", "<type>RUN</type><src>FILLER.BIN</src>",
       {R"(ExtractFile - WriteFile failed name=FILLER, ext=BIN, path=T:\\ppp[0-9a-fA-F]+\.(tmp|TMP), )"
        R"(GetLastError\(\)=112)",
        R"(Cant extract FILLER\.BIN)"}},
      // Windows fails the download that the full disk cut short; Wine
      // reports success, and the publisher check then refuses the cut
      // program.
      {"URLRUN", "<type>URLRUN</type><src>" + url +
                     "</src><title>t</title><status>s</status><hidden>1</hidden>",
       WindowsValueOrWineGap<std::vector<std::string>>(
           {R"(Downloader - URLDownloadToFile\(.*\) failed, -[0-9]+)",
            R"(DOWNLOAD CANCELED OR ENCOUNTERED ERROR)"},
           {R"(T:\\plr[0-9a-fA-F]+\.exe is not authenticated)"},
           "Wine's URL library reports success for a download the full disk cut short")},
  };
  char savedTmp[MAX_PATH] = {};
  const DWORD saved = GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH);
  ASSERT_TRUE(saved > 0 && saved < MAX_PATH);
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", kDrive));
  const ULONGLONG freeBefore = FreeBytes();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetProcessState();
    std::string content = c.event;
    TextBlock event{&content[0], content.size()};
    ReportCapture reports;
    EXPECT_EQ(-1, ProcessEvent("HKEY_LOCAL_MACHINE", "SOFTWARE\\BootstrapperTests\\DiskFull", event,
                               GetModuleHandleA(nullptr), "InstallPath"));
    ASSERT_EQ(c.reports.size(), reports.errors().size())
        << testing::PrintToString(reports.errors());
    for (size_t i = 0; i < c.reports.size(); ++i)
      EXPECT_TRUE(std::regex_match(reports.errors()[i], std::regex(c.reports[i])))
          << reports.errors()[i];
    EXPECT_EQ(std::vector<std::string>{}, FilesOnDrive()) << "left on the full drive";
    EXPECT_EQ(freeBefore, FreeBytes()) << "space was not given back";
  }
  SetEnvironmentVariableA("TMP", savedTmp);
  ResetProcessState();
}
