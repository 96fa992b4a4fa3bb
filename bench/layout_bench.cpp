// The walk's reading work without the platform: payload content, settings,
// and for every event its record and type, as ProcessPayload does them.
#include <cstdio>
#include <cstring>
#include <string>

#include "bench_payload.h"
#include "events/event_record.h"
#include "events/event_types.h"
#include "payload/payload_layout.h"

namespace {

// Returns the number of events read, so that the work cannot be dropped.
size_t ReadWholePayload(const std::string& document) {
  std::string storage = document;
  const TextBlock text{&storage[0], document.size()};
  TextBlock content = {}, event = {};
  PayloadSettings settings = {};
  EventRecord record = {};
  size_t events = 0;
  if (AllocTextBlock(&content, text.capacity) && ReadPayloadContent(text, &content) == kLayoutOk &&
      AllocPayloadSettings(&settings, content.capacity) &&
      AllocTextBlock(&event, content.capacity) && AllocEventRecord(&record, content.capacity) &&
      ReadPayloadSettings(content, &settings) == kLayoutOk) {
    EventCursor cursor = StartEvents(content);
    while (NextEvent(&cursor, &event)) {
      ReadEventRecord(event, &record);
      if (FindEventType(record.Get(kFieldType)) >= 0) ++events;
    }
  }
  FreeEventRecord(&record);
  FreeTextBlock(&event);
  FreePayloadSettings(&settings);
  FreeTextBlock(&content);
  return events;
}

}  // namespace

int main() {
  PrintScaling("layout: payload content, settings, event records (FAILONMUTEX events)",
               [](size_t events) {
                 const std::string document = MakeBenchPayload(events, "FAILONMUTEX", "absent_");
                 return TimeRepeated(events >= 10000 ? 9 : 31, [&] {
                   if (ReadWholePayload(document) != events) {
                     fprintf(stderr, "the payload was not read whole\n");
                   }
                 });
               });
  return 0;
}
