#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pe_headers.h"
#include "resource_id.h"

// One resource of a program: a language variant of a type and name.
struct ResourceEntry {
  ResourceId type;
  ResourceId name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  uint32_t offset = 0;  // of its bytes in the file
  uint32_t size = 0;
};

// The resources of a program in directory order; a program without a
// resource directory has none. False with a reason that begins "malformed
// resources" when a table, name or data entry lies outside the resource
// section, data lies outside the file, a table, entry or data is used twice
// or overlaps another (which is how a directory loops), or the tree is not
// types, names and languages.
bool ReadResources(const std::string& file, const PeHeaders& headers,
                   std::vector<ResourceEntry>* entries, std::string* error);

// "XML/PAYLOAD", "#24 (MANIFEST)/#1 language 0x0409".
std::string DescribeResource(const ResourceId& type, const ResourceId& name);
std::string DescribeResource(const ResourceEntry& entry);
