// The caller command line extension when its 2048 bytes cannot be had: its
// own report (not "too long"), the caller command line left as it was.
#include <gtest/gtest.h>

#include "allocation_failure.h"
#include "core_test_helpers.h"
#include "events/caller_command_line.h"
#include "state/process_state.h"

namespace {

TEST(ExtendCallerCommandLine, OutOfMemoryHasItsOwnReport) {
  ResetProcessState();
  gCallerCmdLine = "/S";
  ReportLog reports;
  {
    const FailingAllocations fail(0);
    EXPECT_FALSE(ExtendCallerCommandLine("C:\\setup.exe"));
  }
  EXPECT_EQ(std::vector<std::string>{"ExtendCallerCommandLine - out of memory for 2048 bytes"},
            reports.errors());
  EXPECT_STREQ("/S", gCallerCmdLine);
  ResetProcessState();
  ExpectNoLeaks();
}

}  // namespace
