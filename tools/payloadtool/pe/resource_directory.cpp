#include "resource_directory.h"

#include <cstdio>
#include <iterator>
#include <map>

#include "byte_order.h"

namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kTableSize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;

enum Level { kTypes, kNames, kLanguages };

// Walks the tree once. Every table, data entry and block of data is claimed
// as a range of the file before it is read; a second claim of any byte is an
// error, so no table is ever read twice and the work is bounded by the file.
class DirectoryWalk {
 public:
  DirectoryWalk(const std::string& file, const PeHeaders& headers, uint32_t root,
                uint32_t regionSize, std::vector<ResourceEntry>* entries)
      : file_(file), headers_(headers), root_(root), regionSize_(regionSize), entries_(entries) {}

  bool Table(uint32_t at, Level level, ResourceEntry* path, std::string* error);

 private:
  bool Claim(uint64_t begin, uint64_t size, std::string* error, const std::string& what);
  bool Key(uint32_t field, bool named, Level level, ResourceId* key, std::string* error);
  bool Data(uint32_t at, ResourceEntry* path, std::string* error);

  const std::string& file_;
  const PeHeaders& headers_;
  uint32_t root_;        // file offset of the root table
  uint32_t regionSize_;  // file bytes of the resource section from the root on
  std::vector<ResourceEntry>* entries_;
  std::map<uint64_t, uint64_t> claimed_;  // begin -> end, no two overlapping
};

bool Malformed(std::string* error, const std::string& text) {
  *error = "malformed resources: " + text;
  return false;
}

bool DirectoryWalk::Claim(uint64_t begin, uint64_t size, std::string* error,
                          const std::string& what) {
  if (size == 0) return true;
  const uint64_t end = begin + size;
  auto next = claimed_.lower_bound(begin);
  const bool overlapsNext = next != claimed_.end() && next->first < end;
  const bool overlapsPrevious = next != claimed_.begin() && std::prev(next)->second > begin;
  if (overlapsNext || overlapsPrevious)
    return Malformed(error, what + " is used twice or overlaps other parts of the directory");
  claimed_.emplace(begin, end);
  return true;
}

bool DirectoryWalk::Key(uint32_t field, bool named, Level level, ResourceId* key,
                        std::string* error) {
  if ((field & kHighBit) == 0) {
    if (named) return Malformed(error, "named and numbered entries are mixed up");
    if (field > 0xFFFF) return Malformed(error, "an identifier above 65535");
    *key = ResourceId::Number(static_cast<uint16_t>(field));
    return true;
  }
  if (!named) return Malformed(error, "named and numbered entries are mixed up");
  if (level == kLanguages) return Malformed(error, "a language given by name");
  const uint32_t at = field & ~kHighBit;
  if (!RangeFits(at, 2, regionSize_))
    return Malformed(error, "a name lies outside the resource section");
  const uint32_t length = ReadLe16(file_, root_ + at);
  if (!RangeFits(uint64_t{at} + 2, uint64_t{length} * 2, regionSize_))
    return Malformed(error, "a name lies outside the resource section");
  key->isNumber = false;
  key->number = 0;
  key->text.resize(length);
  for (uint32_t i = 0; i < length; ++i) key->text[i] = ReadLe16(file_, root_ + at + 2 + 2 * i);
  return true;
}

bool DirectoryWalk::Data(uint32_t at, ResourceEntry* path, std::string* error) {
  const std::string what = "the data entry of " + DescribeResource(*path);
  if (!RangeFits(at, kDataEntrySize, regionSize_))
    return Malformed(error, what + " lies outside the resource section");
  if (!Claim(uint64_t{root_} + at, kDataEntrySize, error, what)) return false;
  const uint32_t rva = ReadLe32(file_, root_ + at);
  path->size = ReadLe32(file_, root_ + at + 4);
  path->codePage = ReadLe32(file_, root_ + at + 8);
  path->offset = 0;
  if (path->size != 0 && !headers_.RvaToOffset(rva, path->size, &path->offset))
    return Malformed(error, "the data of " + DescribeResource(*path) + " lies outside the file");
  if (!Claim(path->offset, path->size, error, "the data of " + DescribeResource(*path)))
    return false;
  entries_->push_back(*path);
  return true;
}

bool DirectoryWalk::Table(uint32_t at, Level level, ResourceEntry* path, std::string* error) {
  if (!RangeFits(at, kTableSize, regionSize_))
    return Malformed(error, "a table lies outside the resource section");
  const uint32_t named = ReadLe16(file_, root_ + at + 12);
  const uint32_t count = named + ReadLe16(file_, root_ + at + 14);
  if (!RangeFits(uint64_t{at} + kTableSize, uint64_t{count} * kEntrySize, regionSize_))
    return Malformed(error, "a table lies outside the resource section");
  if (!Claim(uint64_t{root_} + at, kTableSize + uint64_t{count} * kEntrySize, error, "a table"))
    return false;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = root_ + at + kTableSize + i * kEntrySize;
    const uint32_t keyField = ReadLe32(file_, entry);
    const uint32_t target = ReadLe32(file_, entry + 4);
    ResourceId* key = level == kTypes ? &path->type : &path->name;
    ResourceId language;
    if (!Key(keyField, i < named, level, level == kLanguages ? &language : key, error))
      return false;
    const bool isTable = (target & kHighBit) != 0;
    if (isTable != (level != kLanguages))
      return Malformed(error, "the tree is not types, names and languages");
    if (level == kLanguages) {
      path->language = language.number;
      if (!Data(target, path, error)) return false;
    } else if (!Table(target & ~kHighBit, level == kTypes ? kNames : kLanguages, path, error)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string DescribeResource(const ResourceId& type, const ResourceId& name) {
  return type.DisplayType() + "/" + name.Display();
}

std::string DescribeResource(const ResourceEntry& entry) {
  char language[24];
  snprintf(language, sizeof language, " language 0x%04x", static_cast<unsigned>(entry.language));
  return DescribeResource(entry.type, entry.name) + language;
}

bool ReadResources(const std::string& file, const PeHeaders& headers,
                   std::vector<ResourceEntry>* entries, std::string* error) {
  entries->clear();
  const PeDirectory directory = headers.Directory(kDirectoryResources);
  if (directory.address == 0) return true;
  // Tables, names and data entries lie in the section that holds the root.
  uint32_t root = 0, regionSize = 0;
  if (!headers.RvaToOffset(directory.address, kTableSize, &root, &regionSize))
    return Malformed(error, "the directory lies outside the file");
  ResourceEntry path;
  DirectoryWalk walk(file, headers, root, regionSize, entries);
  return walk.Table(0, kTypes, &path, error);
}
