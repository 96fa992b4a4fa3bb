#pragma once
#include "base/module_handle.h"
#include "base/text_block.h"

// Walks the payload document: finds the payload element, reads its settings
// and runs every event in document order until one fails. 0 when the walk
// completed, -1 otherwise (after reporting why).
int ProcessXML2(const TextBlock* text, ModuleHandle module);

// The walk over the content of the payload element; called by ProcessXML2.
int ProcessPayload(const TextBlock& content, ModuleHandle module);
