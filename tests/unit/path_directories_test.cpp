#include "files/path_directories.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "scratch_dir.h"

namespace {
bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

TEST(CreatePathDirectories, MakesEveryParentButNotTheLastComponent) {
  struct Case {
    const char* path;          // below the scratch directory
    const char* made[3];       // directories that must exist afterwards
    const char* notMade;       // what must not exist
  } cases[] = {
      {"a\\b\\c\\file.txt", {"a", "a\\b", "a\\b\\c"}, "a\\b\\c\\file.txt"},
      {"x\\y\\", {"x", "x\\y"}, nullptr},
      {"p\\q", {"p"}, "p\\q"},
      {"a\\b\\again\\file", {"a\\b\\again"}, "a\\b\\again\\file"},  // existing parents are fine
  };
  ScratchDir dir("mkdirs");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_TRUE(CreatePathDirectories((dir.path() + c.path).c_str()));
    for (const char* made : c.made) {
      if (made) {
        EXPECT_TRUE(IsDirectory(dir.path() + made)) << made;
      }
    }
    if (c.notMade) {
      EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir.path() + c.notMade).c_str()));
    }
  }
}

TEST(CreatePathDirectories, RefusesNullAndPathsTooLongForTheBuffer) {
  ScratchDir dir("mklong");
  EXPECT_FALSE(CreatePathDirectories(nullptr));

  // 259 characters and the terminator fit; one more does not, and then
  // nothing is created at all.
  const std::string fits = dir.path() + "fit\\" + std::string(259 - dir.path().size() - 4, 'f');
  const std::string tooLong = dir.path() + "long\\" + std::string(260 - dir.path().size() - 5, 'l');
  ASSERT_EQ(259u, fits.size());
  ASSERT_EQ(260u, tooLong.size());
  EXPECT_TRUE(CreatePathDirectories(fits.c_str()));
  EXPECT_TRUE(IsDirectory(dir.path() + "fit"));
  EXPECT_FALSE(CreatePathDirectories(tooLong.c_str()));
  EXPECT_FALSE(IsDirectory(dir.path() + "long"));
}
