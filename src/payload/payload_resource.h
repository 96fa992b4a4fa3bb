#pragma once
#include <windows.h>

#include "base/text_block.h"

// Copies a resource of the module into a new text block (capacity = its size,
// followed by a NUL). Null when the resource is empty, cannot be loaded, or
// memory cannot be had. The caller frees the characters and deletes the block.
TextBlock* ExtractFileIntoXMLTAG(HRSRC resource, HMODULE module);
