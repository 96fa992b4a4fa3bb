// Tag benchmark: TagExtractor on signed copies of a large program, the tag
// after the blob in one and inside the signature in another.
//
//   tag_bench REPS FILE...   for each file: Open, ExtractTag (one call with a
//                            32768-byte buffer, as SETREFERRALURL makes it)
//                            and Close, REPS times; then ExtractTag alone on
//                            an open extractor, REPS times
//
// Prints best and median in microseconds, and the tag's length.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_payload.h"
#include "trust/tag_extractor.h"

namespace {

char buffer[32768];

void Print(const char* what, const Timing& timing) {
  printf("  %-32s %10.1f %10.1f\n", what, timing.bestMs * 1000, timing.medianMs * 1000);
}

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
    const char* path = argv[file];
    int32_t found = -1;
    Print("Open, ExtractTag, Close", TimeRepeated(reps, [&] {
            TagExtractor extractor;
            int32_t size = sizeof buffer;
            if (extractor.Open(path) && extractor.ExtractTag(buffer, &size))
              found = static_cast<int32_t>(strlen(buffer));
            extractor.Close();
          }));
    TagExtractor extractor;
    if (!extractor.Open(path)) return 1;
    Print("ExtractTag on an open file", TimeRepeated(reps, [&] {
            int32_t size = sizeof buffer;
            extractor.ExtractTag(buffer, &size);
          }));
    printf("  tag: %d bytes\n", found);
    if (found < 0) return 1;
  }
  return 0;
}
