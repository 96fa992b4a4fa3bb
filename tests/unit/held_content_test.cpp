// What RUN's own tests cannot reach with a small installer: a file of more
// than one view of the mapping, and a handle that cannot be read.
#include "files/held_content.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/unique_handle.h"
#include "files/temp_program.h"
#include "scratch_dir.h"

TEST(CompareHeldFile, ReadsEveryViewAndReportsWhatItCannotRead) {
  std::string expected(kHeldViewBytes + 4097, '\0');
  for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<char>(i * 7 + i / 4096);
  const DWORD size = static_cast<DWORD>(expected.size());
  std::string laterByte = expected;
  laterByte[kHeldViewBytes + 3] ^= 1;
  ScratchDir dir("held_content");
  const std::string path = dir.path() + "program.exe";
  for (const std::string* file : {&expected, &laterByte}) {
    const bool same = file == &expected;
    SCOPED_TRACE(same ? "the same bytes" : "a byte in the second view");
    ASSERT_TRUE(WriteWholeFile(path, *file));
    UniqueHandle held(HoldProgramFile(path.c_str()));
    ASSERT_TRUE(held);
    const HeldContent content = CompareHeldFile(held.get(), expected.data(), size);
    EXPECT_EQ(same, content.same);
    EXPECT_EQ(same ? size : kHeldViewBytes + 3, content.firstDifference);
    EXPECT_EQ(nullptr, content.failedCall);
  }

  // Without read access there is no mapping, and no verdict either way.
  UniqueHandle attributesOnly(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(attributesOnly);
  const HeldContent content = CompareHeldFile(attributesOnly.get(), expected.data(), size);
  EXPECT_FALSE(content.same);
  EXPECT_STREQ("CreateFileMapping", content.failedCall);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), content.error);
}
