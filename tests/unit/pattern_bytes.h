#pragma once
#include <cstddef>
#include <string>

// The bytes that tests/fixtures/make_pattern.py writes into the test
// resources: the low bytes of an xorshift32 stream seeded with 0x12345678.
std::string PatternBytes(size_t size);
