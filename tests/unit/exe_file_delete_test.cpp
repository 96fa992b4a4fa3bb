#include "files/temp_program.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/pause.h"
#include "held_file.h"
#include "report_capture.h"
#include "scratch_dir.h"

namespace {
// Deletes and returns the number of pauses taken.
int DeleteCountingPauses(const char* path) {
  ResetPauses();
  EXEFileDelete(path);
  return PausesTaken();
}
}  // namespace

TEST(EXEFileDelete, DeletesAtOnceAndEmptyPathDoesNothing) {
  ScratchDir dir("del");
  const std::string path = dir.path() + "LumenoUpdater_1.exe";
  ASSERT_TRUE(WriteWholeFile(path, "program"));
  ReportCapture reports;
  EXPECT_EQ(0, DeleteCountingPauses(path.c_str()));
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(0, DeleteCountingPauses(""));
  // A file that is not there counts as deleted: no wait, no report.
  EXPECT_EQ(0, DeleteCountingPauses((dir.path() + "never-written.exe").c_str()));
  EXPECT_TRUE(reports.errors().empty());
}

// Held open by a running process: one retry after a second, then the report;
// the caller goes on and the file stays. A read-only file is refused (5) the
// same way.
TEST(EXEFileDelete, FileThatCannotBeDeletedIsReportedAfterOneRetry) {
  ScratchDir dir("delheld");
  const std::string held = dir.path() + "held.exe";
  const std::string readOnly = dir.path() + "readonly.exe";
  ASSERT_TRUE(WriteWholeFile(held, "still running"));
  ASSERT_TRUE(WriteWholeFile(readOnly, "protected"));
  ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  HeldFile holder(held, HeldFile::Share::kNone);
  ASSERT_TRUE(holder.held());

  struct Case {
    const std::string& path;
    int error;
  } cases[] = {{held, ERROR_SHARING_VIOLATION}, {readOnly, ERROR_ACCESS_DENIED}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ReportCapture reports;
    EXPECT_EQ(1, DeleteCountingPauses(c.path.c_str()));
    EXPECT_EQ(std::vector<std::string>{"Unable to EXEFileDelete " + c.path +
                                       ", GetLastError()=" + std::to_string(c.error)},
              reports.errors());
  }
  holder.Release();
  EXPECT_TRUE(FileExists(held));
}
