#include "base/string_ops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr size_t kBuffer = 260;

// The buffer sits inside a guard region so a write past its 260 bytes shows.
struct GuardedBuffer {
  char bytes[kBuffer + 16];
  GuardedBuffer() { memset(bytes, '#', sizeof bytes); }
  PathBuffer& path() { return *reinterpret_cast<PathBuffer*>(bytes); }
  bool GuardIntact() const {
    for (size_t i = kBuffer; i < sizeof bytes; ++i)
      if (bytes[i] != '#') return false;
    return true;
  }
};

TEST(JoinPath, ConcatenatesWithoutSeparator) {
  GuardedBuffer b;
  ASSERT_TRUE(JoinPath(b.path(), "C:\\Program Files\\Lumeno\\", "sub\\file.txt"));
  EXPECT_STREQ("C:\\Program Files\\Lumeno\\sub\\file.txt", b.path());
}

TEST(JoinPath, FitsUpTo259CharactersAndRefusesMore) {
  const std::string head(200, 'h');
  for (size_t tailLength : {size_t{58}, size_t{59}, size_t{60}, size_t{300}}) {
    GuardedBuffer b;
    const std::string tail(tailLength, 't');
    const bool fits = head.size() + tailLength <= kBuffer - 1;
    EXPECT_EQ(fits, JoinPath(b.path(), head.c_str(), tail.c_str())) << "tail " << tailLength;
    EXPECT_EQ(fits ? head + tail : std::string(), std::string(b.path())) << "tail " << tailLength;
    EXPECT_TRUE(b.GuardIntact()) << "tail " << tailLength;
  }
}

TEST(JoinPath, HeadAloneTooLong) {
  GuardedBuffer b;
  const std::string head(260, 'h');
  EXPECT_FALSE(JoinPath(b.path(), head.c_str(), ""));
  EXPECT_STREQ("", b.path());
  EXPECT_TRUE(b.GuardIntact());
}

// Only a path from a fixed root is followed: one that depends on the current
// directory or drive could land anywhere, a device name is no file.
TEST(IsRootedPath, DriveLetterOrShareOnly) {
  const struct {
    const char* path;
    bool rooted;
  } cases[] = {
      {"C:\\logs\\setup.log", true},  {"z:\\a", true},       {"C:\\", true},
      {"\\\\server\\share\\a.log", true},
      {"setup.log", false},          {"logs\\setup.log", false}, {"\\setup.log", false},
      {"C:setup.log", false},        {"C:/logs/setup.log", false}, {"1:\\a", false},
      {"\\\\.\\COM1", false},         {"\\\\?\\C:\\a.log", false},  {"\\\\", false},
      {"\\\\\\a", false},             {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rooted, IsRootedPath(c.path)) << c.path;
}

}  // namespace
