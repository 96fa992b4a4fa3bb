#include "files/temp_program.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "files/name_random.h"
#include "report_capture.h"
#include "scratch_dir.h"

namespace {

std::string ProgramName(unsigned number) {
  char name[32];
  snprintf(name, sizeof name, "LumenoUpdater_%x.exe", number);
  return name;
}

// The first count non-zero numbers that the search draws for seed.
std::vector<unsigned> Draws(uint32_t seed, size_t count) {
  std::vector<unsigned> draws;
  NameRandom random(seed);
  while (draws.size() < count) {
    const unsigned number = random.Next();
    if (number != 0) draws.push_back(number);
  }
  return draws;
}

void TakeNames(const std::string& dir, const std::vector<unsigned>& numbers) {
  for (unsigned number : numbers) ASSERT_TRUE(WriteWholeFile(dir + ProgramName(number), "taken"));
}

// A seed whose first draw is 0 and whose 1000th non-zero draw differs from
// the 999 before it (draws of 15 bits repeat now and then).
uint32_t SeedStartingWithZero() {
  for (uint32_t seed = 0;; ++seed) {
    if (NameRandom(seed).Next() != 0) continue;
    const std::vector<unsigned> draws = Draws(seed, kTempNameCandidates);
    const std::set<unsigned> earlier(draws.begin(), draws.end() - 1);
    if (!earlier.count(draws.back())) return seed;
  }
}

// Points GetTempPathA at another directory while it lives.
class TempDirectoryOverride {
 public:
  explicit TempDirectoryOverride(const std::string& directory) {
    char old[32768];
    const DWORD length = GetEnvironmentVariableA("TMP", old, sizeof old);
    hadOld_ = length > 0 && length < sizeof old;
    if (hadOld_) old_ = old;
    SetEnvironmentVariableA("TMP", directory.c_str());
  }
  ~TempDirectoryOverride() { SetEnvironmentVariableA("TMP", hadOld_ ? old_.c_str() : nullptr); }

 private:
  bool hadOld_ = false;
  std::string old_;
};

}  // namespace

TEST(NameRandom, DrawsTheClassicSequence) {
  NameRandom random(1);
  for (unsigned expected : {41u, 18467u, 6334u, 26500u, 19169u, 15724u, 11478u, 29358u})
    EXPECT_EQ(expected, random.Next());
}

TEST(MakeTempEXEName, FillsTheTemporaryDirectoryThenAFreeProgramName) {
  char expectedDirectory[MAX_PATH];
  ASSERT_NE(0u, GetTempPathA(MAX_PATH, expectedDirectory));
  TempExeName name;
  memset(&name, '#', sizeof name);
  ReportCapture reports;
  ASSERT_EQ(0, MakeTempEXEName(&name));
  EXPECT_TRUE(reports.errors().empty());
  EXPECT_STREQ(expectedDirectory, name.directory);

  const std::string path = name.path;
  const std::string prefix = std::string(expectedDirectory) + "LumenoUpdater_";
  ASSERT_EQ(prefix, path.substr(0, prefix.size()));
  const std::string hex = path.substr(prefix.size(), path.size() - prefix.size() - 4);
  EXPECT_EQ(".exe", path.substr(path.size() - 4));
  ASSERT_TRUE(hex.size() >= 1 && hex.size() <= 4) << hex;
  EXPECT_NE('0', hex[0]) << "no leading zeros";
  EXPECT_EQ(std::string::npos, hex.find_first_not_of("0123456789abcdef")) << hex;
  EXPECT_FALSE(FileExists(path)) << "the name is only chosen, not created";
}

// Existing names are passed over, and so is a draw of 0, which does not
// count as a candidate: the search fails only when 1000 names all exist.
TEST(MakeRandomEXEName, ZeroIsSkippedAndAThousandTakenNamesFail) {
  const uint32_t seed = SeedStartingWithZero();
  const std::vector<unsigned> draws = Draws(seed, kTempNameCandidates);
  ScratchDir dir("taken");
  char path[MAX_PATH];
  EXPECT_EQ(draws[0], MakeRandomEXENameFromSeed(path, dir.path().c_str(), seed));

  TakeNames(dir.path(), std::vector<unsigned>(draws.begin(), draws.end() - 1));
  EXPECT_EQ(draws.back(), MakeRandomEXENameFromSeed(path, dir.path().c_str(), seed));
  TakeNames(dir.path(), {draws.back()});
  EXPECT_EQ(0u, MakeRandomEXENameFromSeed(path, dir.path().c_str(), seed));
}

// In a temporary directory of 238 to 240 characters only names of up to 3, 2
// or 1 hex digits fit: one that does not is one more taken candidate, and the
// search goes on within its thousand. With 241 none fits, and it fails.
TEST(MakeRandomEXEName, NameThatDoesNotFitIsOneMoreTakenCandidate) {
  char path[MAX_PATH];
  for (size_t length : {238u, 239u, 240u, 241u}) {
    SCOPED_TRACE(length);
    const std::string directory = "C:\\" + std::string(length - 4, 'd') + "\\";
    ASSERT_EQ(length, directory.size());
    auto fits = [&](unsigned number) { return length + ProgramName(number).size() < MAX_PATH; };
    // A seed whose first draw does not fit and a later one does (if any can).
    uint32_t seed = 0;
    unsigned expected = 0;
    for (;; ++seed) {
      const std::vector<unsigned> draws = Draws(seed, kTempNameCandidates);
      if (fits(draws[0])) continue;
      expected = 0;
      for (unsigned number : draws) {
        if (fits(number)) {
          expected = number;
          break;
        }
      }
      if (expected != 0 || length == 241) break;
    }
    EXPECT_EQ(expected, MakeRandomEXENameFromSeed(path, directory.c_str(), seed));
    if (expected != 0) {
      EXPECT_EQ(directory + ProgramName(expected), path);
    }
  }
}

// The product's seed is the time in seconds plus the thread identifier.
// Taking a thousand names takes longer than a second here, so the names are
// taken for a second a little ahead, and the call waits for that second.
TEST(MakeTempEXEName, EveryNameTakenReportsGetTempPathFailed) {
  ScratchDir dir("all");
  TempDirectoryOverride temp(dir.path());
  for (uint32_t ahead = 3; ahead <= 12; ahead *= 2) {
    const uint32_t second = static_cast<uint32_t>(time(nullptr)) + ahead;
    TakeNames(dir.path(), Draws(second + GetCurrentThreadId(), kTempNameCandidates));
    if (static_cast<uint32_t>(time(nullptr)) >= second) continue;  // too slow: look further ahead
    while (static_cast<uint32_t>(time(nullptr)) < second) Sleep(5);
    TempExeName name = {};
    ReportCapture reports;
    const int result = MakeTempEXEName(&name);
    if (static_cast<uint32_t>(time(nullptr)) != second) continue;  // the second ended meanwhile
    EXPECT_EQ(-1, result);
    EXPECT_EQ(std::vector<std::string>{"GetTempPath failed"}, reports.errors());
    EXPECT_STREQ(dir.path().c_str(), name.directory);
    return;
  }
  FAIL() << "could not take the names before the second they are drawn for";
}

// A temporary directory too long for GetTempPathA's 260 characters, or too
// long to add a program name to, fails cleanly without writing past the
// record.
TEST(MakeTempEXEName, TemporaryDirectoryTooLongFailsCleanly) {
  for (size_t length : {300u, 250u}) {
    SCOPED_TRACE(length);
    TempDirectoryOverride temp("C:\\" + std::string(length - 3, 'a'));
    struct {
      TempExeName name;
      char after[16];
    } guarded;
    memset(&guarded, '#', sizeof guarded);
    ReportCapture reports;
    EXPECT_EQ(-1, MakeTempEXEName(&guarded.name));
    EXPECT_EQ(std::vector<std::string>{"GetTempPath failed"}, reports.errors());
    EXPECT_EQ(std::string(sizeof guarded.after, '#'), std::string(guarded.after, sizeof guarded.after));
    EXPECT_LT(strnlen(guarded.name.directory, MAX_PATH), static_cast<size_t>(MAX_PATH));
  }
}
