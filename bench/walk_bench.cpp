// The real walk, ProcessXML2, under Wine, with events that succeed cheaply.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/report.h"
#include "bench_payload.h"
#include "payload/payload_walk.h"
#include "state/process_state.h"

namespace {

Timing TimeWalk(size_t events, const char* type, const std::string& titlePrefix) {
  const std::string document = MakeBenchPayload(events, type, titlePrefix);
  return TimeRepeated(events >= 10000 ? 5 : 15, [&] {
    std::string storage = document;
    TextBlock text{&storage[0], document.size()};
    if (ProcessXML2(&text, GetModuleHandleA(nullptr)) != 0) {
      fprintf(stderr, "the walk failed\n");
    }
  });
}

}  // namespace

int main() {
  ResetProcessState();
  const std::string run = std::to_string(GetCurrentProcessId());
  PrintScaling("walk: ProcessXML2, CREATEMUTEX events on four names", [&](size_t events) {
    return TimeWalk(events, "CREATEMUTEX", "bench_" + run + "_");
  });
  PrintScaling("walk: ProcessXML2, FAILONMUTEX events on four absent names", [&](size_t events) {
    return TimeWalk(events, "FAILONMUTEX", "bench_absent_" + run + "_");
  });
  return 0;
}
