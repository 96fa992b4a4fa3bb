#include "payload/payload_walk.h"

#include <cstring>

#include "base/report.h"
#include "events/dispatch.h"
#include "payload/payload_layout.h"

int ProcessXML2(const TextBlock* text, ModuleHandle module) {
  TextBlock content;
  if (!AllocTextBlock(&content, text->capacity)) {
    ReportError("ProcessXML2 - out of memory for %u bytes", static_cast<unsigned>(text->capacity));
    return -1;
  }
  int result = -1;
  if (ReadPayloadContent(*text, &content) != kLayoutOk) {
    ReportError("%s", LayoutMessage(kLayoutNoPayload));
  } else {
    result = ProcessPayload(content, module);
  }
  FreeTextBlock(&content);
  return result;
}

int ProcessPayload(const TextBlock& content, ModuleHandle module) {
  // One event buffer and one record serve every event: allocating and
  // clearing payload-sized buffers per event would make the walk quadratic.
  PayloadSettings settings = {};
  TextBlock event = {};
  EventRecord record = {};
  int result = -1;
  if (!AllocPayloadSettings(&settings, content.capacity) ||
      !AllocTextBlock(&event, content.capacity) ||
      !AllocEventRecord(&record, content.capacity)) {
    ReportError("ProcessPayload - out of memory for %u bytes",
                static_cast<unsigned>(content.capacity));
  } else if (const LayoutStatus layout = ReadPayloadSettings(content, &settings);
             layout != kLayoutOk) {
    ReportError("%s", LayoutMessage(layout));
  } else {
    result = 0;
    EventCursor cursor = StartEvents(content);
    while (NextEvent(&cursor, &event)) {
      if (ProcessEvent(settings.rootkey.chars, settings.subkey.chars, event, module,
                       settings.installkey.chars, &record) != 0) {
        ReportError("Event Tag processing failed");
        result = -1;
        break;
      }
    }
  }
  FreeEventRecord(&record);
  FreeTextBlock(&event);
  FreePayloadSettings(&settings);
  return result;
}
