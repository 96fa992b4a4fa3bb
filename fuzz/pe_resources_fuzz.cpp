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

bool EntryLess(const ResourceEntry* a, const ResourceEntry* b) {
  if (*a->type != *b->type) return ResourceIdLess(*a->type, *b->type);
  if (*a->name != *b->name) return ResourceIdLess(*a->name, *b->name);
  return a->language < b->language;
}

// The same resources with the same bytes, whatever their order.
bool SameResources(const std::string& file, const ResourceDirectory& a, const std::string& copy,
                   const ResourceDirectory& b) {
  if (a.entries.size() != b.entries.size()) return false;
  std::vector<const ResourceEntry*> x, y;
  for (const ResourceEntry& e : a.entries) x.push_back(&e);
  for (const ResourceEntry& e : b.entries) y.push_back(&e);
  std::sort(x.begin(), x.end(), EntryLess);
  std::sort(y.begin(), y.end(), EntryLess);
  for (size_t i = 0; i < x.size(); ++i) {
    if (*x[i]->type != *y[i]->type || *x[i]->name != *y[i]->name ||
        x[i]->language != y[i]->language || x[i]->codePage != y[i]->codePage ||
        file.compare(x[i]->offset, x[i]->size, copy, y[i]->offset, y[i]->size) != 0)
      return false;
  }
  return true;
}

void RebuildAndReadBack(const std::string& file, const PeHeaders& headers,
                        const ResourceDirectory& directory) {
  std::vector<ResourceItem> items;
  for (const ResourceEntry& e : directory.entries)
    items.push_back(
        ResourceItem{e.type, e.name, e.language, e.codePage, file.data() + e.offset, e.size});
  std::string out, error;
  RebuildNotes notes;
  if (!RebuildWithResources(file, headers, items, &out, &notes, &error)) return;
  PeHeaders rebuilt;
  ResourceDirectory again;
  Check(ReadPeHeaders(out, &rebuilt, &error), "the copy's headers read back");
  Check(ReadResources(out, rebuilt, &again, &error), "the copy's resources read back");
  Check(SameResources(file, directory, out, again), "the copy holds the same resources");
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
  ResourceDirectory directory;
  if (!ReadResources(file, headers, &directory, &error)) return 0;
  for (const ResourceEntry& e : directory.entries)
    Check(RangeFits(e.offset, e.size, file.size()), "data in the file");
  RebuildAndReadBack(file, headers, directory);
  return 0;
}
