#include "events/caller_command_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core_test_helpers.h"
#include "state/process_state.h"

namespace {

const char kPath[] = "C:\\Downloads\\setup.exe";

// The composed text in a 2048-byte buffer followed by a guard region that
// must stay as it was.
struct Composed {
  bool fits;
  std::string text;
  bool guardIntact;
};

Composed Compose(const std::string& current, const std::string& path) {
  constexpr size_t kGuard = 64;
  std::string buffer(kCallerCommandLineSize + kGuard, '#');
  Composed result;
  result.fits = ComposeCallerCommandLine(current.c_str(), path.c_str(),
                                         *reinterpret_cast<CallerCommandLine*>(&buffer[0]));
  result.guardIntact = buffer.compare(kCallerCommandLineSize, kGuard, std::string(kGuard, '#')) == 0;
  const size_t end = buffer.find('\0');
  result.text = end < kCallerCommandLineSize ? buffer.substr(0, end) : "(not terminated)";
  return result;
}

TEST(ComposeCallerCommandLine, AppendsCallerMarkerAfterASpace) {
  Composed empty = Compose("", kPath);
  EXPECT_TRUE(empty.fits);
  EXPECT_EQ("/CALLER \"C:\\Downloads\\setup.exe\"", empty.text);

  Composed tail = Compose("/S /L", kPath);
  EXPECT_TRUE(tail.fits);
  EXPECT_EQ("/S /L /CALLER \"C:\\Downloads\\setup.exe\"", tail.text);

  Composed twice = Compose(empty.text, "D:\\b.exe");
  EXPECT_EQ("/CALLER \"C:\\Downloads\\setup.exe\" /CALLER \"D:\\b.exe\"", twice.text);
}

TEST(ComposeCallerCommandLine, NeverWritesPast2048Bytes) {
  const std::string path259(259, 'p');
  // old text + space + /CALLER " (9) + path + closing quote + NUL
  const size_t overhead = 1 + 9 + 1 + 1;
  struct {
    size_t current;
    size_t path;
    bool fits;
  } cases[] = {
      {1777, 259, true},  // any 1777 characters before the extension fit
      {kCallerCommandLineSize - overhead - 259, 259, true},
      {kCallerCommandLineSize - overhead - 259 + 1, 259, false},
      {kCallerCommandLineSize - overhead - 10, 10, true},
      {kCallerCommandLineSize - overhead - 10 + 1, 10, false},
      {kCallerCommandLineSize, 10, false},
      {5000, 259, false},
      {0, kCallerCommandLineSize - 11, true},  // no space without old text
      {0, kCallerCommandLineSize - 10, false},
  };
  for (const auto& c : cases) {
    const std::string current(c.current, 'c');
    const std::string path(c.path, 'p');
    const Composed composed = Compose(current, path);
    EXPECT_EQ(c.fits, composed.fits) << c.current << " + " << c.path;
    EXPECT_TRUE(composed.guardIntact) << c.current << " + " << c.path;
    if (c.fits) {
      const std::string expected =
          (current.empty() ? "" : current + " ") + "/CALLER \"" + path + "\"";
      EXPECT_EQ(expected, composed.text) << c.current << " + " << c.path;
    }
  }
}

TEST(ExtendCallerCommandLine, CumulativeAndRefusalKeepsTheOldText) {
  ResetProcessState();
  EXPECT_TRUE(ExtendCallerCommandLine("C:\\a.exe"));
  EXPECT_STREQ("/CALLER \"C:\\a.exe\"", gCallerCmdLine);
  const char* first = gCallerCmdLine;
  EXPECT_TRUE(ExtendCallerCommandLine("C:\\b.exe"));
  EXPECT_STREQ("/CALLER \"C:\\a.exe\" /CALLER \"C:\\b.exe\"", gCallerCmdLine);
  EXPECT_STREQ("/CALLER \"C:\\a.exe\"", first) << "the previous text stays valid";
  const char* second = gCallerCmdLine;

  const std::string long_tail(2040, 't');
  gCallerCmdLine = long_tail.c_str();
  ReportLog reports;
  EXPECT_FALSE(ExtendCallerCommandLine("C:\\a.exe"));
  EXPECT_EQ(long_tail.c_str(), gCallerCmdLine);
  EXPECT_EQ(std::vector<std::string>{"Caller command line too long to add /CALLER \"C:\\a.exe\""},
            reports.errors());
  ResetProcessState();
  // The program never releases them; the test does, for the leak checker.
  free(const_cast<char*>(first));
  free(const_cast<char*>(second));
}

}  // namespace
