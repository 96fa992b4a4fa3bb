#pragma once
#include "base/text_block.h"

// The layout of the payload document: one payload element holding the three
// settings rootkey, subkey and installkey, and any number of event elements.

enum LayoutStatus {
  kLayoutOk = 0,
  kLayoutNoPayload,
  kLayoutNoRootkey,
  kLayoutNoSubkey,
  kLayoutNoInstallkey,
  kLayoutEmptyRootkey,
  kLayoutEmptySubkey,
  kLayoutEmptyInstallkey,
};

// The program's message for a layout failure ("Cant find payload tag", ...).
const char* LayoutMessage(LayoutStatus status);

// Copies the content of the first payload element of text into content,
// which must have the text's capacity.
LayoutStatus ReadPayloadContent(const TextBlock& text, TextBlock* content);

struct PayloadSettings {
  TextBlock rootkey;
  TextBlock subkey;
  TextBlock installkey;
};

// Each setting gets the content's capacity, so no read can fail for lack of room.
bool AllocPayloadSettings(PayloadSettings* settings, size_t capacity);
void FreePayloadSettings(PayloadSettings* settings);

// Reads the three settings, then trims them, then checks that none is empty,
// each step in the order rootkey, subkey, installkey; the first failure is
// the result.
LayoutStatus ReadPayloadSettings(const TextBlock& content, PayloadSettings* settings);

// Steps through the event elements of a payload content in document order.
struct EventCursor {
  const char* position;
  const char* end;
};
EventCursor StartEvents(const TextBlock& content);

// Copies the next event's content into event (of the content's capacity) and
// moves past it; false when no further event element is found, or the next one
// is malformed or never closed: the walk is then complete.
bool NextEvent(EventCursor* cursor, TextBlock* event);
