#pragma once
#include <gtest/gtest.h>

#include <cctype>
#include <string>

// Test names from the cases' descriptions (their `what`): letters and digits only.
template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case>& info) {
  std::string name;
  for (const char* c = info.param.what; *c; ++c) {
    if (isalnum(static_cast<unsigned char>(*c))) name += *c;
  }
  return name;
}
