#pragma once
#include <cstddef>
#include <string>

// What files_test.rc carries (neutral language), for the extraction tests.
constexpr size_t kPatternSize = 70001;  // PATTERN.BIN: PatternBytes(kPatternSize)
// EMPTY.BIN has no bytes at all.

// A resource name of 63 and one of 64 characters (type DATA), and a type
// of 4 and one of 5 characters (name TYPES); each holds its own label.
inline std::string Name63() { return "LONGNAME" + std::string(55, 'X'); }
inline std::string Name64() { return Name63() + "Y"; }
