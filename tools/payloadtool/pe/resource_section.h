#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "resource_id.h"

// One resource to write: its key and where its bytes are. The type and the
// name are the caller's, and many items may share one.
struct ResourceItem {
  const ResourceId* type = nullptr;
  const ResourceId* name = nullptr;
  uint16_t language = 0;
  uint32_t codePage = 0;
  const char* data = nullptr;
  uint32_t size = 0;
};

// Appends to *out the contents of a resource section, to be loaded at rva,
// that holds items: the root table, the name tables, the language tables,
// the data entries, the names, then the data, each block of data at a
// multiple of 8 bytes from the section's start. Types, names and languages
// are sorted as the loader's search needs (ResourceIdLess); the time stamps
// and versions of the tables are 0, so the same items always give the same
// bytes. Each name is compared and written once for the items that share
// it. False when two items share type, name and language, or the section
// would not fit in the image's 32-bit addresses.
bool AppendResourceSection(std::vector<ResourceItem> items, uint32_t rva, std::string* out,
                           std::string* error);
