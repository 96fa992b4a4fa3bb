#pragma once
#include <cstdint>

// The small generator behind temporary program names: the classic linear
// congruential generator of the C library's rand(), numbers 0 to 32767.
// Kept private to each caller (no global state) and fully determined by its
// seed, so that a given seed always draws the same names.
class NameRandom {
 public:
  static constexpr unsigned kMax = 0x7FFF;

  explicit NameRandom(uint32_t seed) : state_(seed) {}

  unsigned Next() {
    state_ = state_ * 214013u + 2531011u;
    return (state_ >> 16) & kMax;
  }

 private:
  uint32_t state_;
};
