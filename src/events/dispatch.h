#pragma once
#include "base/module_handle.h"
#include "base/text_block.h"
#include "events/event_record.h"

// Runs one event: reads and trims its record, finds its type (compared in a
// fixed order, exactly), checks what the type requires (kEventTypes) and runs
// its action. 0 when the action completed, -1 when the event failed (an empty
// or unknown type fails without a message). workspace, when given, is a
// record with at least the event's capacity that is reused instead of
// allocating one for this call.
int ProcessEvent(const char* rootkey, const char* subkey, const TextBlock& event,
                 ModuleHandle module, const char* installkey, EventRecord* workspace = nullptr);
