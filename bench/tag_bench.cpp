// Tag benchmark: TagExtractor on signed copies of a large program, the tag
// after the blob in one and inside the signature in another.
//
//   tag_bench REPS FILE...   for each file: Open, ExtractTag (one call with a
//                            32768-byte buffer, as SETREFERRALURL makes it)
//                            and Close, REPS times; then ExtractTag alone on
//                            an open extractor, REPS times
//
// Prints best and median in microseconds, and the tag's length.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "trust/tag_extractor.h"

namespace {

double NowUs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

void Print(const char* what, std::vector<double> times) {
  std::sort(times.begin(), times.end());
  printf("  %-32s %10.1f %10.1f\n", what, times[0], times[times.size() / 2]);
}

char buffer[32768];

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? atoi(argv[1]) : 0;
  if (reps <= 0 || argc < 3) {
    fprintf(stderr, "usage: tag_bench REPS FILE...\n");
    return 2;
  }
  printf("  %-32s %10s %10s  (microseconds)\n", "", "best", "median");
  for (int file = 2; file < argc; ++file) {
    printf("%s\n", argv[file]);
    std::vector<double> whole, extract;
    int32_t found = -1;
    for (int i = 0; i < reps; ++i) {
      const double start = NowUs();
      TagExtractor extractor;
      int32_t size = sizeof buffer;
      if (extractor.Open(argv[file]) && extractor.ExtractTag(buffer, &size))
        found = static_cast<int32_t>(strlen(buffer));
      extractor.Close();
      whole.push_back(NowUs() - start);
    }
    TagExtractor extractor;
    if (!extractor.Open(argv[file])) return 1;
    for (int i = 0; i < reps; ++i) {
      int32_t size = sizeof buffer;
      const double start = NowUs();
      extractor.ExtractTag(buffer, &size);
      extract.push_back(NowUs() - start);
    }
    Print("Open, ExtractTag, Close", whole);
    Print("ExtractTag on an open file", extract);
    printf("  tag: %d bytes\n", found);
    if (found < 0) return 1;
  }
  return 0;
}
