#include "bench_payload.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

std::string MakeBenchPayload(size_t events, const char* type, const std::string& titlePrefix) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<payload>\r\n"
      "\t<rootkey>HKEY_LOCAL_MACHINE</rootkey>\r\n"
      "\t<subkey>SOFTWARE\\Korvex\\Lumeno\\Lumeno2</subkey>\r\n"
      "\t<installkey>InstallPath</installkey>\r\n";
  const bool withStatus = std::string(type) == "FAILONMUTEX";
  for (size_t i = 0; i < events; ++i) {
    text += "\t<event>\r\n\t\t<type>";
    text += type;
    text += "</type>\r\n\t\t<title>" + titlePrefix + std::to_string(i % 4) + "</title>\r\n";
    if (withStatus) text += "\t\t<status>3</status>\r\n";
    text += "\t</event>\r\n";
  }
  text += "</payload>\r\n";
  return text;
}

Timing TimeRepeated(int repeats, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto end = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::sort(times.begin(), times.end());
  return Timing{times.front(), times[times.size() / 2]};
}

void PrintScaling(const char* title, const std::function<Timing(size_t events)>& measure) {
  printf("%s\n", title);
  printf("  %8s  %10s  %10s  %14s\n", "events", "best ms", "median ms", "best us/event");
  double small = 0, large = 0;
  for (size_t events : {size_t{1000}, size_t{10000}}) {
    const Timing timing = measure(events);
    printf("  %8u  %10.3f  %10.3f  %14.3f\n", static_cast<unsigned>(events), timing.bestMs,
           timing.medianMs, timing.bestMs * 1000.0 / events);
    (events == 1000 ? small : large) = timing.bestMs;
  }
  printf("  ratio 10000/1000 (best): %.1f (linear 10, goal at most about 12)\n", large / small);
  fflush(stdout);
}
