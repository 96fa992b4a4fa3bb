// Fuzzes payloadtool's PE reader with arbitrary files, and what it writes
// from what it read: a program rebuilt with its own resources must read back
// as the same resources, and a tag written into it must read back as written
// and as the program reads it. The reader's memory must stay proportional to
// the file: this program counts what it allocates.
//
// The mutator knows where a program keeps its offsets and sizes (the section
// table, the data directory, the resource tables) and sets one of them to a
// value that tends to break readers; other inputs get libFuzzer's own
// mutations, with pe_resources.dict.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "byte_order.h"
#include "certificate_tag.h"
#include "pe_checksum.h"
#include "pe_headers.h"
#include "pe_rebuild.h"
#include "resource_directory.h"
#include "trust/tag_block.h"

namespace {
size_t gAllocated = 0;  // bytes asked for since the count was last reset
}  // namespace

void* operator new(size_t size) {
  gAllocated += size;
  if (void* block = malloc(size != 0 ? size : 1)) return block;
  throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  gAllocated += size;
  return malloc(size != 0 ? size : 1);
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }

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
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  int32_t size = 0;
  const bool programReads = ExtractTagFromBytes(bytes, file.size(), nullptr, &size);
  Check(programReads == (ReadInstallerTag(file, &data) == TagRead::kFound),
        "payloadtool finds a tag where the program does");
  TagNotes notes;
  if (!WriteInstallerTag(file, "campaign=fuzz", TagForm::kInSignature, &tagged, &notes, &error)) return;
  Check(ReadInstallerTag(tagged, &data) == TagRead::kFound && data == "campaign=fuzz",
        "a written tag reads back");
}

// Offsets of the little-endian 32-bit fields that locate or size something:
// each section's sizes and offsets, the data directory, and the entries of
// the resource root and the tables it points at.
// Read straight from the bytes, without the reader under test.
std::vector<size_t> LocatingFields(const std::string& file) {
  std::vector<size_t> fields;
  if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return fields;
  fields.push_back(60);
  const uint32_t pe = ReadLe32(file, 60);
  if (!RangeFits(pe, 24 + 96, file.size())) return fields;
  fields.push_back(pe + 12);       // the symbol table
  fields.push_back(pe + 24 + 60);  // SizeOfHeaders
  const size_t directories = pe + 24 + (ReadLe16(file, pe + 24) == 0x20B ? 112 : 96);
  for (size_t at = directories; at + 4 <= file.size() && at < directories + 128; at += 4)
    fields.push_back(at);
  const uint32_t resources =
      RangeFits(directories, 24, file.size()) ? ReadLe32(file, directories + 16) : 0;
  const size_t table = pe + 24 + ReadLe16(file, pe + 20);
  uint64_t root = 0, region = 0;
  for (size_t i = 0; i < ReadLe16(file, pe + 6) && RangeFits(table + 40 * i, 40, file.size());
       ++i) {
    const size_t header = table + 40 * i;
    for (size_t field : {8, 12, 16, 20}) fields.push_back(header + field);
    const uint32_t address = ReadLe32(file, header + 12), rawSize = ReadLe32(file, header + 16);
    const uint32_t rawOffset = ReadLe32(file, header + 20);
    if (resources >= address && resources - address < rawSize &&
        RangeFits(rawOffset, rawSize, file.size())) {
      root = rawOffset + (resources - address);
      region = rawSize - (resources - address);
    }
  }
  // The root table and the tables below it; data entries where they point.
  std::vector<uint32_t> tables;
  if (region != 0) tables.push_back(0);
  for (size_t t = 0; t < tables.size() && t < 64; ++t) {
    const uint32_t at = tables[t];
    if (!RangeFits(at, 16, region)) continue;
    const uint32_t entries = ReadLe16(file, root + at + 12) + ReadLe16(file, root + at + 14);
    for (uint32_t i = 0; i < entries && RangeFits(at + 16 + 8 * i, 8, region) && i < 64; ++i) {
      const size_t entry = root + at + 16 + 8 * i;
      fields.push_back(entry);
      fields.push_back(entry + 4);
      const uint32_t target = ReadLe32(file, entry + 4);
      if (target & 0x80000000u) {
        tables.push_back(target & 0x7FFFFFFFu);
      } else if (RangeFits(target, 16, region)) {
        fields.push_back(root + target);
        fields.push_back(root + target + 4);
      }
    }
  }
  return fields;
}

uint32_t InterestingValue(const std::string& file, uint32_t old, uint32_t random) {
  const uint32_t size = static_cast<uint32_t>(file.size());
  const uint32_t values[] = {
      0,           1,           old + 1, old - 1,  old + 8,  old ^ 0x80000000u, 0xFFFFFFFFu,
      0xFFFFFF00u, 0x7FFFFFFFu, size,    size - 1, size + 1, old & 0xFFFF,      0x80000000u,
      old * 2};
  return values[random % (sizeof values / sizeof values[0])];
}

}  // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
  srand(seed);
  if (rand() % 2 == 0) return LLVMFuzzerMutate(data, size, maxSize);
  const std::string file(reinterpret_cast<const char*>(data), size);
  const std::vector<size_t> fields = LocatingFields(file);
  if (fields.empty()) return LLVMFuzzerMutate(data, size, maxSize);
  const size_t at = fields[static_cast<size_t>(rand()) % fields.size()];
  if (at + 4 > size) return size;
  const uint32_t value = InterestingValue(file, ReadLe32(file, at), static_cast<uint32_t>(rand()));
  for (int i = 0; i < 4; ++i) data[at + i] = static_cast<uint8_t>(value >> (8 * i));
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  PeHeaders headers;
  std::string error;
  if (!ReadPeHeaders(file, &headers, &error)) return 0;
  TagAndReadBack(file);
  ResourceDirectory directory;
  gAllocated = 0;
  const bool read = ReadResources(file, headers, &directory, &error);
  // The claim map, the names and the entries; a few blocks of the containers.
  Check(gAllocated <= 4 * file.size() + 4096, "the reader's memory is linear in the file");
  if (!read) return 0;
  for (const ResourceEntry& e : directory.entries)
    Check(RangeFits(e.offset, e.size, file.size()), "data in the file");
  RebuildAndReadBack(file, headers, directory);
  return 0;
}
