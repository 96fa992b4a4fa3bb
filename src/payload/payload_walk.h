#pragma once
#include <windows.h>

#include "base/text_block.h"

// Copies a resource of the module into a new text block (capacity = its size,
// followed by a NUL). Null when the resource is empty, cannot be loaded, or
// memory cannot be had. The caller frees the characters and deletes the block.
TextBlock* ExtractFileIntoXMLTAG(HRSRC resource, HMODULE module);

// Walks the payload document: finds the payload element, reads its settings
// and runs every event in document order until one fails. 0 when the walk
// completed, -1 otherwise (after reporting why).
int ProcessXML2(const TextBlock* text, HMODULE module);

// The walk over the content of the payload element; called by ProcessXML2.
int ProcessPayload(const TextBlock& content, HMODULE module);
