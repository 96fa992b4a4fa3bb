// The run log in-process: its lines as written, the rollover at start-up and
// the logs that cannot be opened, in a scratch directory of each test's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "base/report.h"
#include "base/run_log.h"
#include "base/unique_handle.h"
#include "scratch_dir.h"

namespace {

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, &bytes)) << path;
  return bytes;
}

// The lines of a log with their millisecond prefixes checked and removed;
// a line without its "\r\n" comes back with "<cut>" at its end.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  static const std::regex prefix("^\\d+ ");
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find("\r\n", at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    EXPECT_TRUE(std::regex_search(line, prefix)) << line;
    line = std::regex_replace(line, prefix, "", std::regex_constants::format_first_only);
    lines.push_back(end == std::string::npos ? line + "<cut>" : line);
    at = end == std::string::npos ? text.size() : end + 2;
  }
  return lines;
}

class RunLogTest : public testing::Test {
 protected:
  void TearDown() override { CloseRunLog(); }
  ScratchDir dir_{"rlog"};
  std::string log_ = dir_.path() + "setup.log";
};

TEST_F(RunLogTest, EachLineWholeWithItsTimeAndAnEllipsisWhereCut) {
  StartRunClock();
  ASSERT_TRUE(OpenRunLog(log_.c_str()));
  // Readable (and appendable) by others during the run.
  UniqueHandle reader(CreateFileA(log_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(reader.valid()) << GetLastError();

  // A second run at the same time appends its own whole lines between ours.
  UniqueHandle other(CreateFileA(log_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, 0, nullptr));
  EXPECT_TRUE(other.valid()) << GetLastError();
  LogLine("event %u %s starts", 1u, "RUN");
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(other.get(), "9 other\r\n", 9, &written, nullptr));
  ReportError("Could not create all the directories in [%s]\n", "C:\\a");
  LogText("two\r\nlines", false);
  LogText("cut by its writer", true);
  const std::string longArgument(3000, 'x');
  ReportError("CALLERCOPY failed :%s", longArgument.c_str());  // cut at the report's 2048 bytes
  LogLine("%s", longArgument.c_str());                      // cut at the line's room
  const std::string exact(kReportBufferSize - 1, 'y');     // the longest whole report
  ReportError("%s", exact.c_str());
  EXPECT_FALSE(OpenRunLog(log_.c_str())) << "a second open while one is open";

  const std::string text = Read(log_);
  std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(8u, lines.size());
  EXPECT_EQ("event 1 RUN starts", lines[0]);
  EXPECT_EQ("other", lines[1]);
  lines.erase(lines.begin() + 1);
  EXPECT_EQ("Could not create all the directories in [C:\\a] ", lines[1]);
  EXPECT_EQ("two  lines", lines[2]);
  EXPECT_EQ("cut by its writer...", lines[3]);
  EXPECT_EQ("CALLERCOPY failed :" + std::string(kReportBufferSize - 1 - 19, 'x') + "...",
            lines[4]);
  EXPECT_EQ(0u, lines[5].find(std::string(2000, 'x'))) << lines[5].size();
  EXPECT_EQ("...", lines[5].substr(lines[5].size() - 3));
  // The line with its time and line end fills its buffer exactly.
  size_t start = 0;
  for (int line = 0; line < 6; ++line) start = text.find("\r\n", start) + 2;
  EXPECT_EQ(kRunLogLineSize, text.find("\r\n", start) + 2 - start);
  EXPECT_EQ(exact, lines[6]);
}

// At start-up only: a log over 1 MiB becomes <name>.1 (replacing an older
// one) and the run starts a new one; one of 1 MiB exactly is appended to.
TEST_F(RunLogTest, RolledOverOnlyWhenLargerThanOneMebibyte) {
  const struct {
    size_t size;
    bool rolled;
  } cases[] = {{kRunLogRollBytes, false}, {kRunLogRollBytes + 1, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string old(c.size, 'o');
    ASSERT_TRUE(WriteWholeFile(log_, old));
    ASSERT_TRUE(WriteWholeFile(log_ + ".1", "older"));
    ASSERT_TRUE(OpenRunLog(log_.c_str()));
    LogLine("new run");
    CloseRunLog();
    const std::string now = Read(log_);
    const std::string older = Read(log_ + ".1");
    const std::string before = c.rolled ? older : now.substr(0, old.size());
    EXPECT_TRUE(before == old) << "the earlier log is not whole: " << before.size() << " bytes";
    EXPECT_EQ(std::vector<std::string>{"new run"}, Lines(now.substr(c.rolled ? 0 : old.size())));
    if (!c.rolled) {
      EXPECT_EQ("older", older);
    }
  }
}

// Whatever keeps the log from opening leaves no log and nothing written.
TEST_F(RunLogTest, NotOpenedWhereItCannotBe) {
  ASSERT_TRUE(WriteWholeFile(log_, "held"));
  UniqueHandle holder(CreateFileA(log_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder.valid()) << GetLastError();
  // Both names fit: 257 characters and ".1".
  const std::string longest = dir_.path() + std::string(257 - dir_.path().size(), 'n');
  const std::string cases[] = {
      log_,                                         // held exclusively by another
      dir_.path() + "missing\\setup.log",           // in no directory
      longest + "n",                                // <name>.1 would not fit
  };
  for (const std::string& path : cases) {
    EXPECT_FALSE(OpenRunLog(path.c_str())) << path;
    LogLine("nowhere");
    ReportError("nowhere either");
  }
  holder.Close();
  EXPECT_EQ("held", Read(log_));
  EXPECT_EQ(std::vector<std::string>{"setup.log"}, ListDirectory(dir_.path()));
  EXPECT_TRUE(OpenRunLog(longest.c_str())) << longest.size();
}

}  // namespace
