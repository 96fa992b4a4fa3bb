#include "allocation_failure.h"

#include <gtest/gtest.h>

#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define HAVE_LEAK_CHECK 1
#endif
#endif

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_calloc(size_t count, size_t size);

namespace {
bool gCounting = false;
int gMade = 0;
int gAllowed = -1;  // below 0: no failures

bool Refused() {
  if (!gCounting) return false;
  const int index = gMade++;
  return gAllowed >= 0 && index >= gAllowed;
}
}  // namespace

extern "C" void* __wrap_malloc(size_t size) { return Refused() ? nullptr : __real_malloc(size); }
extern "C" void* __wrap_calloc(size_t count, size_t size) {
  return Refused() ? nullptr : __real_calloc(count, size);
}

CountedAllocations::CountedAllocations() {
  gCounting = true;
  gMade = 0;
  gAllowed = -1;
}
CountedAllocations::~CountedAllocations() { gCounting = false; }
int CountedAllocations::made() const { return gMade; }

FailingAllocations::FailingAllocations(int allowed) {
  gCounting = true;
  gMade = 0;
  gAllowed = allowed;
}
FailingAllocations::~FailingAllocations() {
  gCounting = false;
  gAllowed = -1;
}

void ExpectNoLeaks() {
#ifdef HAVE_LEAK_CHECK
  EXPECT_EQ(0, __lsan_do_recoverable_leak_check()) << "memory was leaked (see the report above)";
#endif
}
