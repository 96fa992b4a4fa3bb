// PrintText's line on the process's real standard output: what reaches the
// handle is the cut line, byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/report.h"
#include "base/unique_handle.h"

namespace {

// Points standard output at a pipe while it lives.
class CapturedOutput {
 public:
  CapturedOutput() : saved_(GetStdHandle(STD_OUTPUT_HANDLE)) {
    HANDLE read = nullptr, write = nullptr;
    if (CreatePipe(&read, &write, nullptr, 4096)) {
      read_.reset(read);
      write_.reset(write);
      SetStdHandle(STD_OUTPUT_HANDLE, write);
    }
  }
  ~CapturedOutput() { SetStdHandle(STD_OUTPUT_HANDLE, saved_); }
  bool ready() const { return read_.valid(); }
  std::string Take() {
    SetStdHandle(STD_OUTPUT_HANDLE, saved_);
    write_.Close();
    std::string bytes;
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(read_.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
      bytes.append(chunk, got);
    return bytes;
  }

 private:
  HANDLE saved_;
  UniqueHandle read_, write_;
};

TEST(PrintText, WritesTheCutLineToStandardOutput) {
  const std::string name(300, 't');
  CapturedOutput output;
  ASSERT_TRUE(output.ready());
  PrintText("Failed to get data for tag: <%s>\n", name.c_str());
  PrintText("Failed to get data for tag: <%s>\n", "event");
  EXPECT_EQ(("Failed to get data for tag: <" + name).substr(0, 259) +
                "Failed to get data for tag: <event>\n",
            output.Take());
}

}  // namespace
