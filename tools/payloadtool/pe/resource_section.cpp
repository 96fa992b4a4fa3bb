#include "resource_section.h"

#include <algorithm>
#include <functional>

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

// The rank of every id the items point at, in the loader's order
// (ResourceIdLess); equal ids have equal ranks. Only the distinct id objects
// are compared by their text, so the items that share an id (every resource
// under one long name) cost integer comparisons, not more comparisons of the
// name.
class IdRanks {
 public:
  explicit IdRanks(const std::vector<ResourceItem>& items) {
    for (const ResourceItem& item : items) {
      for (const ResourceId* id : {item.type, item.name}) {
        if (ids_.empty() || ids_.back() != id) ids_.push_back(id);
      }
    }
    std::sort(ids_.begin(), ids_.end(), std::less<const ResourceId*>());
    ids_.erase(std::unique(ids_.begin(), ids_.end()), ids_.end());
    std::vector<uint32_t> byText(ids_.size());
    for (size_t i = 0; i < byText.size(); ++i) byText[i] = static_cast<uint32_t>(i);
    std::sort(byText.begin(), byText.end(),
              [this](uint32_t a, uint32_t b) { return ResourceIdLess(*ids_[a], *ids_[b]); });
    ranks_.resize(ids_.size());
    for (size_t i = 1; i < byText.size(); ++i) {
      const bool same = *ids_[byText[i - 1]] == *ids_[byText[i]];
      ranks_[byText[i]] = ranks_[byText[i - 1]] + (same ? 0 : 1);
    }
  }

  uint32_t Of(const ResourceId* id) const {
    const auto at = std::lower_bound(ids_.begin(), ids_.end(), id, std::less<const ResourceId*>());
    return ranks_[static_cast<size_t>(at - ids_.begin())];
  }

 private:
  std::vector<const ResourceId*> ids_;  // by address
  std::vector<uint32_t> ranks_;         // of each of ids_
};

// An item's place in the loader's order: its type's rank, its name's, then
// its language.
struct ItemOrder {
  uint32_t type;
  uint32_t name;
  uint16_t language;
};

bool OrderLess(const ItemOrder& a, const ItemOrder& b) {
  if (a.type != b.type) return a.type < b.type;
  if (a.name != b.name) return a.name < b.name;
  return a.language < b.language;
}

// A run of items [first, first + count) that share a type, or a type and name.
struct Group {
  size_t first;
  size_t count;
};

// Splits [range] into runs of items i, j for which same(i, j).
template <typename Same>
std::vector<Group> Runs(Group range, Same same) {
  std::vector<Group> runs;
  for (size_t i = range.first; i < range.first + range.count; ++i) {
    if (runs.empty() || !same(runs.back().first, i)) runs.push_back(Group{i, 0});
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
    named += !(byType ? item.type->isNumber : item.name->isNumber);
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
  const IdRanks ranks(items);
  const auto orderOf = [&ranks](const ResourceItem& item) {
    return ItemOrder{ranks.Of(item.type), ranks.Of(item.name), item.language};
  };
  // Keys are unique (or refused below), so the order is the same for any
  // order of the items.
  std::sort(items.begin(), items.end(), [&orderOf](const ResourceItem& a, const ResourceItem& b) {
    return OrderLess(orderOf(a), orderOf(b));
  });
  for (size_t i = 1; i < items.size(); ++i) {
    if (!OrderLess(orderOf(items[i - 1]), orderOf(items[i]))) {
      *error = "two resources " + DescribeResource(*items[i].type, *items[i].name) +
               " in the same language";
      return false;
    }
  }
  const auto sameType = [&](size_t a, size_t b) {
    return ranks.Of(items[a].type) == ranks.Of(items[b].type);
  };
  const auto sameName = [&](size_t a, size_t b) {
    return sameType(a, b) && ranks.Of(items[a].name) == ranks.Of(items[b].name);
  };
  const std::vector<Group> types = Runs(Group{0, items.size()}, sameType);
  std::vector<std::vector<Group>> names;
  bool fits = types.size() <= kMaxTableEntries;
  for (const Group& type : types) {
    names.push_back(Runs(type, sameName));
    fits = fits && names.back().size() <= kMaxTableEntries;
    for (const Group& name : names.back()) fits = fits && name.count <= kMaxTableEntries;
  }
  for (const ResourceItem& item : items)
    fits = fits && item.type->text.size() <= 0xFFFF && item.name->text.size() <= 0xFFFF;
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
    at += NameSize(*items[types[t].first].type);
    for (const Group& name : names[t]) {
      resourceNames.push_back(at);
      at += NameSize(*items[name.first].name);
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
    const ResourceId& type = *items[types[t].first].type;
    writer.Entry(0, t, type.isNumber ? type.number : kHighBit | static_cast<uint32_t>(typeNames[t]),
                 kHighBit | static_cast<uint32_t>(nameTables[t]));
    if (!type.isNumber) writer.Name(typeNames[t], type.text);
    writer.Table(nameTables[t], CountNamed(items, names[t], false), names[t].size());
    for (size_t n = 0; n < names[t].size(); ++n, ++languageTable) {
      const ResourceId& name = *items[names[t][n].first].name;
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
