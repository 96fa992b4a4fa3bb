#include "resource_section.h"

#include <algorithm>

#include "byte_order.h"
#include "resource_directory.h"

namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint64_t kTableSize = 16;
constexpr uint64_t kEntrySize = 8;
constexpr uint64_t kDataEntrySize = 16;
constexpr uint32_t kDataAlignment = 8;
// A table counts its named and its numbered entries in 16 bits each.
constexpr size_t kMaxTableEntries = 0xFFFF;

bool ItemLess(const ResourceItem& a, const ResourceItem& b) {
  if (a.type != b.type) return ResourceIdLess(a.type, b.type);
  if (a.name != b.name) return ResourceIdLess(a.name, b.name);
  return a.language < b.language;
}

bool SameKey(const ResourceItem& a, const ResourceItem& b) {
  return a.type == b.type && a.name == b.name && a.language == b.language;
}

// A run of items [first, first + count) that share a type, or a type and name.
struct Group {
  size_t first;
  size_t count;
};

// Splits items[range] into runs with equal keys.
template <typename Same>
std::vector<Group> Runs(const std::vector<ResourceItem>& items, Group range, Same same) {
  std::vector<Group> runs;
  for (size_t i = range.first; i < range.first + range.count; ++i) {
    if (runs.empty() || !same(items[runs.back().first], items[i])) runs.push_back(Group{i, 0});
    ++runs.back().count;
  }
  return runs;
}

uint64_t TableSize(size_t entries) { return kTableSize + kEntrySize * entries; }

uint64_t NameSize(const ResourceId& id) {
  return id.isNumber ? 0 : 2 + 2 * uint64_t{id.text.size()};
}

size_t CountNamed(const std::vector<ResourceItem>& items, const std::vector<Group>& runs,
                  bool byType) {
  size_t named = 0;
  for (const Group& run : runs) {
    const ResourceItem& item = items[run.first];
    named += !(byType ? item.type.isNumber : item.name.isNumber);
  }
  return named;
}

// Writes sections bytes into a zero-filled block of known layout.
class SectionWriter {
 public:
  SectionWriter(std::string* out, size_t base) : out_(out), base_(base) {}

  void Table(uint64_t at, size_t named, size_t total) {
    WriteLe16(out_, base_ + at + 12, static_cast<uint16_t>(named));
    WriteLe16(out_, base_ + at + 14, static_cast<uint16_t>(total - named));
  }
  // Entry `index` of the table at `at`: its key (a number, or the offset of a
  // name) and its target (a table, or a data entry).
  void Entry(uint64_t at, size_t index, uint32_t key, uint32_t target) {
    const size_t entry = base_ + at + kTableSize + kEntrySize * index;
    WriteLe32(out_, entry, key);
    WriteLe32(out_, entry + 4, target);
  }
  void Name(uint64_t at, const std::u16string& text) {
    WriteLe16(out_, base_ + at, static_cast<uint16_t>(text.size()));
    for (size_t i = 0; i < text.size(); ++i)
      WriteLe16(out_, base_ + at + 2 + 2 * i, static_cast<uint16_t>(text[i]));
  }
  void DataEntry(uint64_t at, uint32_t rva, const ResourceItem& item) {
    WriteLe32(out_, base_ + at, rva);
    WriteLe32(out_, base_ + at + 4, item.size);
    WriteLe32(out_, base_ + at + 8, item.codePage);
  }
  void Data(uint64_t at, const ResourceItem& item) {
    if (item.size != 0) std::copy(item.data, item.data + item.size, out_->begin() + base_ + at);
  }

 private:
  std::string* out_;
  size_t base_;
};

}  // namespace

bool AppendResourceSection(std::vector<ResourceItem> items, uint32_t rva, std::string* out,
                           std::string* error) {
  std::stable_sort(items.begin(), items.end(), ItemLess);
  for (size_t i = 1; i < items.size(); ++i) {
    if (SameKey(items[i - 1], items[i])) {
      *error = "two resources " + DescribeResource(items[i].type, items[i].name) +
               " in the same language";
      return false;
    }
  }
  const auto sameType = [](const ResourceItem& a, const ResourceItem& b) {
    return a.type == b.type;
  };
  const auto sameName = [](const ResourceItem& a, const ResourceItem& b) {
    return a.type == b.type && a.name == b.name;
  };
  const std::vector<Group> types = Runs(items, Group{0, items.size()}, sameType);
  std::vector<std::vector<Group>> names;
  bool fits = types.size() <= kMaxTableEntries;
  for (const Group& type : types) {
    names.push_back(Runs(items, type, sameName));
    fits = fits && names.back().size() <= kMaxTableEntries;
    for (const Group& name : names.back()) fits = fits && name.count <= kMaxTableEntries;
  }
  for (const ResourceItem& item : items)
    fits = fits && item.type.text.size() <= 0xFFFF && item.name.text.size() <= 0xFFFF;
  if (!fits) {
    *error = "too many resources, or a name too long, for a resource directory";
    return false;
  }

  // Offsets from the section's start: tables, data entries, names, data.
  uint64_t at = TableSize(types.size());
  std::vector<uint64_t> nameTables, languageTables;
  for (size_t t = 0; t < types.size(); ++t) {
    nameTables.push_back(at);
    at += TableSize(names[t].size());
  }
  for (size_t t = 0; t < types.size(); ++t) {
    for (const Group& name : names[t]) {
      languageTables.push_back(at);
      at += TableSize(name.count);
    }
  }
  const uint64_t dataEntries = at;
  at += kDataEntrySize * items.size();
  std::vector<uint64_t> typeNames, resourceNames;
  for (size_t t = 0; t < types.size(); ++t) {
    typeNames.push_back(at);
    at += NameSize(items[types[t].first].type);
    for (const Group& name : names[t]) {
      resourceNames.push_back(at);
      at += NameSize(items[name.first].name);
    }
  }
  std::vector<uint64_t> data;
  for (const ResourceItem& item : items) {
    at = (at + kDataAlignment - 1) / kDataAlignment * kDataAlignment;
    data.push_back(at);
    at += item.size;
  }
  if (at > 0x7FFFFFFFu || rva + at > 0xFFFFFFFFu) {
    *error = "the resources do not fit in a program";
    return false;
  }

  const size_t base = out->size();
  out->resize(base + at, '\0');
  SectionWriter writer(out, base);
  writer.Table(0, CountNamed(items, types, true), types.size());
  size_t languageTable = 0, item = 0;
  for (size_t t = 0; t < types.size(); ++t) {
    const ResourceId& type = items[types[t].first].type;
    writer.Entry(0, t, type.isNumber ? type.number : kHighBit | static_cast<uint32_t>(typeNames[t]),
                 kHighBit | static_cast<uint32_t>(nameTables[t]));
    if (!type.isNumber) writer.Name(typeNames[t], type.text);
    writer.Table(nameTables[t], CountNamed(items, names[t], false), names[t].size());
    for (size_t n = 0; n < names[t].size(); ++n, ++languageTable) {
      const ResourceId& name = items[names[t][n].first].name;
      const uint64_t nameAt = resourceNames[languageTable];
      writer.Entry(nameTables[t], n,
                   name.isNumber ? name.number : kHighBit | static_cast<uint32_t>(nameAt),
                   kHighBit | static_cast<uint32_t>(languageTables[languageTable]));
      if (!name.isNumber) writer.Name(nameAt, name.text);
      writer.Table(languageTables[languageTable], 0, names[t][n].count);
      for (size_t l = 0; l < names[t][n].count; ++l, ++item) {
        const uint64_t entryAt = dataEntries + kDataEntrySize * item;
        writer.Entry(languageTables[languageTable], l, items[item].language,
                     static_cast<uint32_t>(entryAt));
        writer.DataEntry(entryAt, rva + static_cast<uint32_t>(data[item]), items[item]);
        writer.Data(data[item], items[item]);
      }
    }
  }
  return true;
}
