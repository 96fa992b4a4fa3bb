#pragma once
// Allocation failures on demand for the native tests. The test program is
// linked with --wrap=malloc and --wrap=calloc, so the C allocations of the
// code under test come here first (C++ allocations of the tests themselves
// go through the standard library and are not counted).

// Counts allocations while it lives.
class CountedAllocations {
 public:
  CountedAllocations();
  ~CountedAllocations();
  CountedAllocations(const CountedAllocations&) = delete;
  CountedAllocations& operator=(const CountedAllocations&) = delete;
  int made() const;
};

// Lets the first `allowed` allocations through and fails every later one,
// while it lives.
class FailingAllocations {
 public:
  explicit FailingAllocations(int allowed);
  ~FailingAllocations();
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
};

// Fails the calling test when memory allocated since the last check is no
// longer reachable (LeakSanitizer; does nothing without it).
void ExpectNoLeaks();
