// Extraction onto drive T:, a 1 MiB tmpfs that the tmpfs_drive CTest fixture
// links into this build's Wine prefix. There a 2 MiB write returns TRUE
// having written only what fitted.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "files/extract_file.h"
#include "pattern_bytes.h"
#include "report_capture.h"
#include "scratch_dir.h"

namespace {

constexpr size_t kFillerSize = 2 * 1024 * 1024;  // FILLER.BIN
constexpr size_t kPatternSize = 70001;           // PATTERN.BIN
const char kDrive[] = "T:\\";

ULONGLONG FreeBytes() {
  ULARGE_INTEGER free = {};
  GetDiskFreeSpaceExA(kDrive, &free, nullptr, nullptr);
  return free.QuadPart;
}

std::vector<std::string> ScratchFilesOnDrive() {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("T:\\ppp*", &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
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
  EXPECT_TRUE(ScratchFilesOnDrive().empty()) << "the incomplete scratch file stayed";
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
