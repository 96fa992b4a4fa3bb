#include "files/extract_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/pause.h"
#include "files/replace_target.h"
#include "files/src_name.h"
#include "files_test_resources.h"
#include "held_file.h"
#include "pattern_bytes.h"
#include "report_capture.h"
#include "scratch_dir.h"

namespace {

HMODULE Self() { return GetModuleHandleA(nullptr); }

// The scratch name ExtractFile gets for a directory on this thread (the
// platform neither creates nor checks a file for a non-zero number).
std::string ScratchNameFor(const std::string& dirWithoutSlash) {
  char name[MAX_PATH];
  if (!GetTempFileNameA(dirWithoutSlash.c_str(), "ppp", GetCurrentThreadId(), name)) return "";
  return name;
}

std::string WithoutSlash(const std::string& dir) { return dir.substr(0, dir.size() - 1); }

std::string ReadFile(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, &bytes)) << path;
  return bytes;
}

}  // namespace

// A missing target is created, an existing one (longer than the new bytes)
// replaced, without waiting for retries and without a scratch file left.
TEST(ExtractFile, WritesTheExactBytesOverAnyOldTarget) {
  for (const char* old : {static_cast<const char*>(nullptr), "old"}) {
    SCOPED_TRACE(old ? "existing target" : "new target");
    ScratchDir dir("extract");
    const std::string target = dir.path() + "out.bin";
    if (old) {
      ASSERT_TRUE(WriteWholeFile(target, std::string(100000, 'o')));
    }
    ReportCapture reports;
    const ULONGLONG start = GetTickCount64();
    ASSERT_EQ(0, ExtractFile(Self(), "PATTERN", "BIN", target.c_str()));
    EXPECT_LT(GetTickCount64() - start, 400u);
    EXPECT_TRUE(reports.errors().empty());
    EXPECT_TRUE(ReadFile(target) == PatternBytes(kPatternSize)) << "extracted bytes differ";
    EXPECT_EQ(std::vector<std::string>{"out.bin"}, ListDirectory(dir.path()));
  }
}

// Names and types a src value can spell are extractable at their longest;
// one character more exists as a resource but the split refuses it.
TEST(ExtractFile, LongestNameAndTypeThatASrcCanSpell) {
  struct Case {
    std::string src;
    const char* content;  // null: the split refuses the src
  } cases[] = {
      {Name63() + ".data", "name63"},
      {"sub\\" + Name63() + ".Data", "name63"},
      {Name64() + ".data", nullptr},
      {"types.abcd", "type4"},
      {"types.abcde", nullptr},
  };
  ASSERT_NE(nullptr, FindResourceA(Self(), Name64().c_str(), "DATA"));
  ASSERT_NE(nullptr, FindResourceA(Self(), "TYPES", "ABCDE"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.src);
    ScratchDir dir("split");
    char name[64], type[5];
    const bool split = SplitSrcName(c.src.c_str(), name) && SplitSrcExt(c.src.c_str(), type);
    ASSERT_EQ(c.content != nullptr, split);
    if (!split) continue;
    MakeUpper(name);
    MakeUpper(type);
    const std::string target = dir.path() + "out";
    ASSERT_EQ(0, ExtractFile(Self(), name, type, target.c_str()));
    EXPECT_EQ(c.content, ReadFile(target));
  }
}

TEST(ExtractFile, FailingStepIsReportedAndNothingIsLeftBehind) {
  ScratchDir dir("fail");
  const std::string base = WithoutSlash(dir.path());
  // A directory just short enough for a whole scratch name, and one longer.
  const std::string dir246 = base + "\\" + std::string(246 - base.size() - 1, 'd');
  const std::string dir247 = dir246 + "e";
  ASSERT_TRUE(CreateDirectoryA(dir246.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(dir247.c_str(), nullptr));
  const std::string target260 = dir.path() + std::string(260 - dir.path().size(), 't');

  struct Case {
    const char* what;
    const char* name;
    const char* type;
    std::string target;
    std::string message;
  } cases[] = {
      {"missing resource", "NOSUCH", "BIN", dir.path() + "out",
       "ExtractFile - FindResource failed name=NOSUCH, ext=BIN"},
      {"right name, wrong type", "PATTERN", "EXE", dir.path() + "out",
       "ExtractFile - FindResource failed name=PATTERN, ext=EXE"},
      {"empty resource", "EMPTY", "BIN", dir.path() + "out",
       "ExtractFile - SizeofResource failed name=EMPTY, ext=BIN"},
      // Wine's GetTempFileNameA checks that the directory exists (267,
      // ERROR_DIRECTORY), so a missing directory stops before CreateFile.
      {"missing directory", "PATTERN", "BIN", dir.path() + "missing\\out",
       "ExtractFile - GetTempFileName failed name=PATTERN, ext=BIN, path=" + dir.path() +
           "missing, GetLastError()=267"},
      {"no directory at all", "PATTERN", "BIN", "out.bin",
       "ExtractFile - GetTempFileName failed name=PATTERN, ext=BIN, path=, GetLastError()=267"},
      {"directory too long for a scratch name", "PATTERN", "BIN", dir247 + "\\t",
       "ExtractFile - GetTempFileName failed name=PATTERN, ext=BIN, path=" + dir247 +
           ", GetLastError()=206"},
      {"target of 260 characters", "PATTERN", "BIN", target260,
       "ExtractFile - GetTempFileName failed name=PATTERN, ext=BIN, path=" + base +
           ", GetLastError()=206"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReportCapture reports;
    EXPECT_EQ(-1, ExtractFile(Self(), c.name, c.type, c.target.c_str()));
    EXPECT_EQ(std::vector<std::string>{c.message}, reports.errors());
    EXPECT_FALSE(FileExists(c.target));
  }
  EXPECT_FALSE(FileExists("out.bin"));
  std::vector<std::string> expected = {dir246.substr(dir.path().size()),
                                       dir247.substr(dir.path().size())};
  EXPECT_EQ(expected, ListDirectory(dir.path())) << "a scratch file stayed behind";
  EXPECT_TRUE(ListDirectory(dir247 + "\\").empty());

  // One character shorter works, for the directory and for the target.
  for (const std::string& target : {dir246 + "\\t", target260.substr(0, 259)}) {
    ReportCapture reports;
    ASSERT_EQ(0, ExtractFile(Self(), "PATTERN", "BIN", target.c_str())) << target;
    EXPECT_TRUE(ReadFile(target) == PatternBytes(kPatternSize)) << target;
  }
}

// The old target cannot be replaced: ten attempts, each failed one followed
// by a pause of 500 ms (counted here, not slept), then the report. A target
// that cannot be deleted stays whole; one that another process holds open
// with delete sharing is deleted, but its name stays taken until that
// process lets go, so every move fails. Either way no copy of the scratch
// file is left.
TEST(ExtractFile, TargetThatCannotBeReplacedFailsAfterTenAttemptsAndLeavesNoScratchFile) {
  const struct {
    const char* what;
    bool readOnly;
    HeldFile::Share share;
    const char* step;
    int error;
    bool targetStays;
  } cases[] = {
      {"read-only target", true, HeldFile::Share::kNone, "DeleteFile", ERROR_ACCESS_DENIED, true},
      {"target held open by another process", false, HeldFile::Share::kNone, "DeleteFile",
       ERROR_SHARING_VIOLATION, true},
      // The name of a file deleted while it is open stays taken until the
      // last handle goes, under Wine as on Windows before its POSIX-style
      // deletion (Windows 10 1809 frees the name at once; there the move
      // succeeds and this case cannot be made).
      {"target deleted but held open", false, HeldFile::Share::kAll, "MoveFile",
       ERROR_ALREADY_EXISTS, false},
  };
  SetPausesSleep(false);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir("locked");
    const std::string target = dir.path() + "out.bin";
    const std::string scratch = ScratchNameFor(WithoutSlash(dir.path()));
    ASSERT_TRUE(WriteWholeFile(target, "old target"));
    if (c.readOnly) {
      ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    std::unique_ptr<HeldFile> holder;
    if (!c.readOnly) {
      holder = std::make_unique<HeldFile>(target, c.share);
      ASSERT_TRUE(holder->held());
    }

    ReportCapture reports;
    ResetPauses();
    EXPECT_EQ(-1, ExtractFile(Self(), "PATTERN", "BIN", target.c_str()));
    holder.reset();
    EXPECT_EQ(kReplaceAttempts, PausesTaken()) << "a pause after each failed attempt";
    const std::string expected =
        std::string("ExtractFile - ") + c.step + " failed " +
        (std::string(c.step) == "DeleteFile"
             ? "target=" + target
             : "name=PATTERN, ext=BIN, path=" + scratch + ", target=" + target) +
        ", GetLastError()=" + std::to_string(c.error);
    EXPECT_EQ(std::vector<std::string>{expected}, reports.errors());
    EXPECT_EQ(c.targetStays ? std::vector<std::string>{"out.bin"} : std::vector<std::string>{},
              ListDirectory(dir.path()))
        << "the scratch file stayed behind";
    if (c.targetStays) {
      EXPECT_EQ("old target", ReadFile(target));
    }
  }
  SetPausesSleep(true);
}

// Two extractions into one directory from threads with the same low 16 bits
// of their identifiers would share a scratch name. While the other one holds
// it (shared for reading only), this one fails cleanly instead of truncating
// the other's file.
TEST(ExtractFile, ScratchNameHeldByAnotherExtractionIsLeftAlone) {
  ScratchDir dir("collide");
  const std::string target = dir.path() + "out.bin";
  const std::string scratch = ScratchNameFor(WithoutSlash(dir.path()));
  ASSERT_FALSE(scratch.empty());
  ASSERT_TRUE(WriteWholeFile(scratch, "the other extraction's bytes"));
  HeldFile other(scratch, HeldFile::Share::kRead);
  ASSERT_TRUE(other.held());

  ReportCapture reports;
  EXPECT_EQ(-1, ExtractFile(Self(), "PATTERN", "BIN", target.c_str()));
  other.Release();
  EXPECT_EQ(std::vector<std::string>{"ExtractFile - CreateFile failed name=PATTERN, ext=BIN, path=" +
                                     scratch + ", GetLastError()=32"},
            reports.errors());
  EXPECT_EQ("the other extraction's bytes", ReadFile(scratch));
  EXPECT_FALSE(FileExists(target));
}
