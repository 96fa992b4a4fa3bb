// payloadtool's handler of what no command expects: an exception that leaves
// a command becomes one line and an exit code, and an allocation that fails
// anywhere while a program is read and a payload checked reaches the handler
// through the tool's libraries (which must unwind: on Windows they need their
// unwind tables). This program replaces operator new to make allocations fail.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

#include "commands.h"
#include "guarded_run.h"
#include "payload_check.h"
#include "pe_resources.h"
#include "pe_test_program.h"

namespace {
long gAllocationsLeft = -1;  // allocations before one fails; -1: none fails
}  // namespace

// Every block comes from malloc and goes back to free; GCC cannot tell that
// these functions replace the global ones, and would warn.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (gAllocationsLeft >= 0 && gAllocationsLeft-- == 0) return nullptr;
  return std::malloc(size != 0 ? size : 1);
}
void* operator new(std::size_t size) {
  if (void* block = operator new(size, std::nothrow)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

struct Outcome {
  int code;
  std::string errors;  // what the handler wrote
};

Outcome Guarded(int (*command)(int, char**)) {
  FILE* errors = tmpfile();
  EXPECT_NE(nullptr, errors);
  char name[] = "payloadtool";
  char* argv[] = {name, nullptr};
  const int code = RunGuarded(command, 1, argv, errors);
  std::string text;
  rewind(errors);
  for (int c = fgetc(errors); c != EOF; c = fgetc(errors)) text.push_back(static_cast<char>(c));
  fclose(errors);
  return Outcome{code, text};
}

// Out of memory, and a command's own return, are in the test below.
TEST(GuardedRun, AnyOtherExceptionIsAnInternalError) {
  const struct {
    int (*command)(int, char**);
    const char* errors;
  } cases[] = {
      {[](int, char**) -> int { throw std::out_of_range("basic_string::append"); },
       "payloadtool: internal error: basic_string::append\n"},
      {[](int, char**) -> int { throw 42; }, "payloadtool: internal error: an unknown exception\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = Guarded(c.command);
    EXPECT_EQ(kExitInternalError, outcome.code) << c.errors;
    EXPECT_EQ(c.errors, outcome.errors);
  }
}

std::string gProgram;
long gFailAt = -1;

// What show and pack do first: read a program and its payload, and check a
// payload whose unclosed event makes the reader print a line that the check
// keeps (through the observer the core calls).
int ReadAndCheck(int, char**) {
  gAllocationsLeft = gFailAt;
  ResourceImage image;
  std::string error, payload;
  const bool read = image.Load(gProgram, &error) &&
                    image.Read("XML", "PAYLOAD", &payload) == ResourceRead::kFound;
  const PayloadCheck check = CheckPayload(
      "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>S</subkey><installkey>I"
      "</installkey><event><type>CREATEMUTEX</type><title>M</title></event><event>"
      "</payload>");
  gAllocationsLeft = -1;
  return read && check.Count(Severity::kWarning) == 1 ? kExitOk : kExitRejected;
}

TEST(GuardedRun, EachAllocationFailingInTurnEndsTheRunAsOutOfMemory) {
  gProgram = ProgramWithResources(SampleResources().items).Build();
  long failAt = 0;
  for (;; ++failAt) {
    gFailAt = failAt;
    const Outcome outcome = Guarded(ReadAndCheck);
    if (outcome.code == kExitOk) break;  // fewer allocations than failAt + 1
    ASSERT_EQ(kExitOutOfMemory, outcome.code) << "allocation " << failAt << ": " << outcome.errors;
    ASSERT_EQ("payloadtool: out of memory\n", outcome.errors) << "allocation " << failAt;
  }
  // Reading the sample's eight resources and checking the payload allocate.
  EXPECT_GT(failAt, 20);
}

}  // namespace
