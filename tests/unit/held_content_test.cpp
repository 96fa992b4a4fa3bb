// The held file read back through its own handle, against the bytes it was
// written from: equal, differing in a later view of the mapping, longer,
// shorter, empty, and a handle that cannot be read.
#include "files/held_content.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/unique_handle.h"
#include "files/held_program.h"
#include "scratch_dir.h"

namespace {

TEST(CompareHeldFile, FindsTheFirstDifferenceInSizeOrBytes) {
  // One view and a bit more, so that a difference can lie in the second.
  std::string expected(kHeldViewBytes + 4097, '\0');
  for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<char>(i * 7 + i / 4096);
  const DWORD size = static_cast<DWORD>(expected.size());
  std::string laterByte = expected;
  laterByte[kHeldViewBytes + 3] ^= 1;
  const struct {
    const char* what;
    std::string file;
    bool same;
    DWORD firstDifference;
  } cases[] = {
      {"the same bytes", expected, true, size},
      {"a byte in the second view", laterByte, false, kHeldViewBytes + 3},
      {"bytes appended", expected + "x", false, size},
      {"cut short", expected.substr(0, 100), false, 100},
      {"empty", "", false, 0},
  };
  ScratchDir dir("held_content");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.path() + "program.exe";
    ASSERT_TRUE(WriteWholeFile(path, c.file));
    UniqueHandle held(HoldProgramFile(path.c_str()));
    ASSERT_TRUE(held);
    const HeldContent content =
        CompareHeldFile(held.get(), expected.data(), static_cast<DWORD>(expected.size()));
    EXPECT_EQ(c.same, content.same);
    EXPECT_EQ(static_cast<unsigned long long>(c.file.size()), content.size);
    EXPECT_EQ(c.firstDifference, content.firstDifference);
    EXPECT_EQ(nullptr, content.failedCall);
  }

  // A handle without read access cannot be mapped: no verdict either way.
  const std::string path = dir.path() + "program.exe";
  ASSERT_TRUE(WriteWholeFile(path, "MZ"));
  UniqueHandle attributesOnly(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(attributesOnly);
  const HeldContent content = CompareHeldFile(attributesOnly.get(), "MZ", 2);
  EXPECT_FALSE(content.same);
  EXPECT_STREQ("CreateFileMapping", content.failedCall);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), content.error);
  EXPECT_EQ(2u, content.size);
}

}  // namespace
