#include "resource_directory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "byte_order.h"

namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kTableSize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;
constexpr char kUsedTwice[] = " is used twice or overlaps other parts of the directory";

enum Level { kTypes, kNames, kLanguages };

// Which bytes of the file hold the directory's tables and data entries, one
// bit for each: a claim costs a step per 64 bytes. The map is zeroed memory
// from calloc, so the pages of it that no claim touches (those over an
// installer's data) never become resident.
class ClaimedBytes {
 public:
  explicit ClaimedBytes(size_t size)
      : words_(static_cast<uint64_t*>(calloc((size + 63) / 64 + 1, sizeof(uint64_t)))) {
    if (!words_) throw std::bad_alloc();
  }
  ~ClaimedBytes() { free(words_); }
  ClaimedBytes(const ClaimedBytes&) = delete;
  ClaimedBytes& operator=(const ClaimedBytes&) = delete;

  // Marks [begin, begin + count) as used; false, marking nothing, when any of
  // those bytes already is. The range lies in the file.
  bool Claim(uint64_t begin, uint64_t count) {
    if (count == 0) return true;
    const auto mark = [](uint64_t& word, uint64_t mask) { return (word |= mask) != 0; };
    if (AnyClaimed(begin, count) || !Visit(begin, begin + count, mark)) return false;
    lowest_ = std::min(lowest_, begin);
    highest_ = std::max(highest_, begin + count);
    return true;
  }

  // Only the words between the lowest and the highest claim are read.
  bool AnyClaimed(uint64_t begin, uint64_t count) {
    const auto isFree = [](uint64_t& word, uint64_t mask) { return (word & mask) == 0; };
    const uint64_t from = std::max(begin, lowest_), to = std::min(begin + count, highest_);
    return from < to && !Visit(from, to, isFree);
  }

 private:
  // Calls visit(word, mask) for the bits of [begin, end), a word at a time,
  // while it returns true.
  template <typename Step>
  bool Visit(uint64_t begin, uint64_t end, Step visit) {
    for (uint64_t at = begin; at < end;) {
      const uint64_t bit = at % 64;
      const uint64_t bits = std::min<uint64_t>(64 - bit, end - at);
      const uint64_t mask = (bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1) << bit;
      if (!visit(words_[at / 64], mask)) return false;
      at += bits;
    }
    return true;
  }

  uint64_t* words_;
  uint64_t lowest_ = UINT64_MAX;
  uint64_t highest_ = 0;
};

// Walks the tree once. Every table and data entry is claimed as a range of
// the file before it is read; a second claim of any byte is an error, so no
// table is ever read twice. The blocks of data, which neither overlap each
// other nor the claimed ranges, are checked once the walk is done. Names may
// be shared, but all the names read together may not take more bytes than
// the section: the work and what is kept are bounded by the file.
class DirectoryWalk {
 public:
  DirectoryWalk(const std::string& file, const PeHeaders& headers, uint32_t root,
                uint32_t regionSize, ResourceDirectory* directory)
      : file_(file),
        headers_(headers),
        root_(root),
        regionSize_(regionSize),
        nameBytesLeft_(regionSize),
        directory_(directory),
        claimed_(file.size()) {}

  bool Table(uint32_t at, Level level, ResourceEntry* path, std::string* error);
  bool DataApart(std::string* error);

 private:
  bool Key(uint32_t field, bool named, Level level, ResourceId* key, std::string* error);
  bool Data(uint32_t at, ResourceEntry* path, std::string* error);

  const std::string& file_;
  const PeHeaders& headers_;
  uint32_t root_;        // file offset of the root table
  uint32_t regionSize_;  // file bytes of the resource section from the root on
  uint64_t nameBytesLeft_;
  ResourceDirectory* directory_;
  ClaimedBytes claimed_;
};

bool Malformed(std::string* error, const std::string& text) {
  *error = "malformed resources: " + text;
  return false;
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
  const uint64_t bytes = 2 + uint64_t{length} * 2;
  if (!RangeFits(at, bytes, regionSize_))
    return Malformed(error, "a name lies outside the resource section");
  if (bytes > nameBytesLeft_)
    return Malformed(error,
                     "names shared by many entries add up to more bytes than the resource "
                     "section holds");
  nameBytesLeft_ -= bytes;
  key->isNumber = false;
  key->number = 0;
  key->text.resize(length);
  for (uint32_t i = 0; i < length; ++i) key->text[i] = ReadLe16(file_, root_ + at + 2 + 2 * i);
  return true;
}

bool DirectoryWalk::Data(uint32_t at, ResourceEntry* path, std::string* error) {
  if (!RangeFits(at, kDataEntrySize, regionSize_))
    return Malformed(error, "the data entry of " + DescribeResource(*path) +
                                " lies outside the resource "
                                "section");
  if (!claimed_.Claim(uint64_t{root_} + at, kDataEntrySize))
    return Malformed(error, "the data entry of " + DescribeResource(*path) + kUsedTwice);
  const uint32_t rva = ReadLe32(file_, root_ + at);
  path->size = ReadLe32(file_, root_ + at + 4);
  path->codePage = ReadLe32(file_, root_ + at + 8);
  path->offset = 0;
  if (path->size != 0 && !headers_.RvaToOffset(rva, path->size, &path->offset))
    return Malformed(error, "the data of " + DescribeResource(*path) + " lies outside the file");
  directory_->entries.push_back(*path);
  return true;
}

bool DirectoryWalk::DataApart(std::string* error) {
  const std::deque<ResourceEntry>& entries = directory_->entries;
  std::vector<uint32_t> byOffset;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].size != 0) byOffset.push_back(static_cast<uint32_t>(i));
  }
  std::sort(byOffset.begin(), byOffset.end(),
            [&entries](uint32_t a, uint32_t b) { return entries[a].offset < entries[b].offset; });
  for (size_t i = 0; i < byOffset.size(); ++i) {
    const ResourceEntry& entry = entries[byOffset[i]];
    const bool overlapsNext = i + 1 < byOffset.size() &&
                              uint64_t{entry.offset} + entry.size > entries[byOffset[i + 1]].offset;
    if (overlapsNext || claimed_.AnyClaimed(entry.offset, entry.size))
      return Malformed(error, "the data of " + DescribeResource(entry) + kUsedTwice);
  }
  return true;
}

bool DirectoryWalk::Table(uint32_t at, Level level, ResourceEntry* path, std::string* error) {
  if (!RangeFits(at, kTableSize, regionSize_))
    return Malformed(error, "a table lies outside the resource section");
  const uint32_t named = ReadLe16(file_, root_ + at + 12);
  const uint32_t count = named + ReadLe16(file_, root_ + at + 14);
  if (!RangeFits(uint64_t{at} + kTableSize, uint64_t{count} * kEntrySize, regionSize_))
    return Malformed(error, "a table lies outside the resource section");
  if (!claimed_.Claim(uint64_t{root_} + at, kTableSize + uint64_t{count} * kEntrySize))
    return Malformed(error, std::string("a table") + kUsedTwice);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = root_ + at + kTableSize + i * kEntrySize;
    const uint32_t target = ReadLe32(file_, entry + 4);
    ResourceId key;
    if (!Key(ReadLe32(file_, entry), i < named, level, &key, error)) return false;
    const bool isTable = (target & kHighBit) != 0;
    if (isTable != (level != kLanguages))
      return Malformed(error, "the tree is not types, names and languages");
    if (level == kLanguages) {
      path->language = key.number;
      if (!Data(target, path, error)) return false;
      continue;
    }
    directory_->keys.push_back(std::move(key));
    (level == kTypes ? path->type : path->name) = &directory_->keys.back();
    if (!Table(target & ~kHighBit, level == kTypes ? kNames : kLanguages, path, error))
      return false;
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
  return DescribeResource(*entry.type, *entry.name) + language;
}

bool ReadResources(const std::string& file, const PeHeaders& headers, ResourceDirectory* directory,
                   std::string* error) {
  *directory = ResourceDirectory();
  const PeDirectory resources = headers.Directory(kDirectoryResources);
  if (resources.address == 0) return true;
  // Tables, names and data entries lie in the section that holds the root.
  uint32_t root = 0, regionSize = 0;
  if (!headers.RvaToOffset(resources.address, kTableSize, &root, &regionSize))
    return Malformed(error, "the directory lies outside the file");
  ResourceEntry path;
  DirectoryWalk walk(file, headers, root, regionSize, directory);
  return walk.Table(0, kTypes, &path, error) && walk.DataApart(error);
}
