// Fuzzes payloadtool's PE reader with arbitrary files, and what it writes
// from what it read: a program rebuilt with its own resources must read back
// as the same resources, and a tag written into it must read back as written.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "byte_order.h"
#include "certificate_tag.h"
#include "pe_checksum.h"
#include "pe_headers.h"
#include "pe_rebuild.h"
#include "resource_directory.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

// Every resource with its bytes, in a fixed order.
std::vector<std::string> Sorted(const std::string& file,
                                const std::vector<ResourceEntry>& entries) {
  std::vector<std::string> keys;
  for (const ResourceEntry& e : entries) {
    const std::string codePage = std::to_string(e.codePage);
    keys.push_back(DescribeResource(e) + " " + codePage + "=" + file.substr(e.offset, e.size));
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

void RebuildAndReadBack(const std::string& file, const PeHeaders& headers,
                        const std::vector<ResourceEntry>& entries) {
  std::vector<ResourceItem> items;
  for (const ResourceEntry& e : entries)
    items.push_back(
        ResourceItem{e.type, e.name, e.language, e.codePage, file.data() + e.offset, e.size});
  std::string out, error;
  RebuildNotes notes;
  if (!RebuildWithResources(file, headers, items, &out, &notes, &error)) return;
  PeHeaders rebuilt;
  std::vector<ResourceEntry> again;
  Check(ReadPeHeaders(out, &rebuilt, &error), "the copy's headers read back");
  Check(ReadResources(out, rebuilt, &again, &error), "the copy's resources read back");
  Check(Sorted(file, entries) == Sorted(out, again), "the copy holds the same resources");
  Check(rebuilt.sections.back().virtualAddress == rebuilt.Directory(kDirectoryResources).address,
        "the resources are last");
  Check(ReadLe32(out, rebuilt.CheckSumAt()) == PeChecksum(out, rebuilt.CheckSumAt()), "checksum");
}

void TagAndReadBack(const std::string& file) {
  std::string tagged, error, data;
  TagNotes notes;
  if (!WriteInstallerTag(file, "campaign=fuzz", &tagged, &notes, &error)) return;
  Check(ReadInstallerTag(tagged, &data) == TagRead::kFound && data == "campaign=fuzz",
        "a written tag reads back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  PeHeaders headers;
  std::string error;
  if (!ReadPeHeaders(file, &headers, &error)) return 0;
  TagAndReadBack(file);
  std::vector<ResourceEntry> entries;
  if (!ReadResources(file, headers, &entries, &error)) return 0;
  for (const ResourceEntry& e : entries)
    Check(RangeFits(e.offset, e.size, file.size()), "data in the file");
  RebuildAndReadBack(file, headers, entries);
  return 0;
}
