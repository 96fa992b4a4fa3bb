#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

// True when the tests run under Wine (its ntdll exports wine_get_version).
inline bool RunningUnderWine() {
  static const bool wine =
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

// What a check expects where Wine differs from Windows: Windows' value, and
// under Wine Wine's own, with the gap recorded in the test's output (and its
// XML property "wine_gap") so that the difference stays visible.
template <typename T>
T WindowsValueOrWineGap(T windows, T wine, const char* gap) {
  if (!RunningUnderWine()) return windows;
  printf("[ WINE GAP ] %s\n", gap);
  ::testing::Test::RecordProperty("wine_gap", gap);
  return wine;
}
