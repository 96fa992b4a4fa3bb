#pragma once
#include <cstdint>
#include <deque>
#include <string>

#include "pe_headers.h"
#include "resource_id.h"

// One resource of a program: a language variant of a type and name, which
// point into the ResourceDirectory that holds the entry.
struct ResourceEntry {
  const ResourceId* type = nullptr;
  const ResourceId* name = nullptr;
  uint16_t language = 0;
  uint32_t codePage = 0;
  uint32_t offset = 0;  // of its bytes in the file
  uint32_t size = 0;
};

// The resources of a program in directory order, and the types and names
// they point at. A name is read once for the table entry that names it, and
// every resource under that entry shares it, so the memory grows with the
// file and not with the number of resources times their names' length. A
// move keeps the entries' pointers valid; a copy would not, so there is none.
struct ResourceDirectory {
  std::deque<ResourceId> keys;
  std::deque<ResourceEntry> entries;

  ResourceDirectory() = default;
  ResourceDirectory(ResourceDirectory&&) = default;
  ResourceDirectory& operator=(ResourceDirectory&&) = default;
  ResourceDirectory(const ResourceDirectory&) = delete;
  ResourceDirectory& operator=(const ResourceDirectory&) = delete;
};

// The resources of a program; a program without a resource directory has
// none. The work and the memory are linear in the file's size. False with a
// reason that begins "malformed resources" when a table, name or data entry
// lies outside the resource section, data lies outside the file, a table,
// entry or data is used twice or overlaps another (which is how a directory
// loops), the names read for the table entries add up to more bytes than the
// section holds (names shared over and over), or the tree is not types,
// names and languages.
bool ReadResources(const std::string& file, const PeHeaders& headers, ResourceDirectory* directory,
                   std::string* error);

// "XML/PAYLOAD", "#24 (MANIFEST)/#1 language 0x0409".
std::string DescribeResource(const ResourceId& type, const ResourceId& name);
std::string DescribeResource(const ResourceEntry& entry);
