#pragma once
// Payload documents and timing for the benchmarks.
#include <cstddef>
#include <functional>
#include <string>

// A payload document laid out like the shipped one (tabs, line breaks) with
// the three settings and `events` events of the given type, whose titles
// cycle through four names made from titlePrefix. FAILONMUTEX events carry a
// status as well.
std::string MakeBenchPayload(size_t events, const char* type, const std::string& titlePrefix);

struct Timing {
  double bestMs;
  double medianMs;
};

// Runs work `repeats` times and returns its best and median durations.
Timing TimeRepeated(int repeats, const std::function<void()>& work);

// Times one kind of walk at 1 000 and 10 000 events and prints a table with
// the ratio of the two (linear is 10). The ratio uses the best times, which
// other load on the machine disturbs least.
void PrintScaling(const char* title, const std::function<Timing(size_t events)>& measure);
