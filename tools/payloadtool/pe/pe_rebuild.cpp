#include "pe_rebuild.h"

#include <algorithm>
#include <utility>

#include "byte_order.h"
#include "pe_checksum.h"
#include "printable_text.h"

namespace {

constexpr uint32_t kResourceCharacteristics = 0x40000040;  // initialized data, readable
constexpr size_t kDebugRecordSize = 28;

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

void PadTo(std::string* out, uint32_t alignment) {
  const size_t padded = (out->size() + alignment - 1) / alignment * alignment;
  out->resize(padded, '\0');
}

// Where the resource section is, what moves with it, and what is kept.
struct Plan {
  int resources = -1;    // index of the old resource section; -1: none
  int relocations = -1;  // index of the relocation section that follows it; -1: none
  size_t keptCount = 0;  // sections before the resources, kept as they are
  uint64_t cut = 0;      // the program's bytes [0, cut) are kept
};

bool PlanSections(const std::string& program, const PeHeaders& headers, Plan* plan,
                  std::string* error) {
  const std::vector<PeSection>& sections = headers.sections;
  if (headers.directories.size() <= kDirectoryResources)
    return Fail(error, "the program's data directory has no entry for resources");
  const PeDirectory resources = headers.Directory(kDirectoryResources);
  const PeDirectory relocations = headers.Directory(kDirectoryRelocations);
  if (resources.address != 0) {
    plan->resources = headers.SectionStartingAt(resources.address);
    if (plan->resources < 0)
      return Fail(error, "the resources share a section with other data; they cannot be replaced");
    for (size_t i = plan->resources + 1; i < sections.size(); ++i) {
      if (relocations.address == 0 || sections[i].virtualAddress != relocations.address)
        return Fail(error, "section " + PrintableText(sections[i].name) +
                               " follows the resources and cannot be moved");
      plan->relocations = static_cast<int>(i);
    }
  }
  plan->keptCount = plan->resources < 0 ? sections.size() : static_cast<size_t>(plan->resources);
  const size_t finalCount = plan->keptCount + (plan->relocations >= 0) + 1;
  plan->cut = headers.sizeOfHeaders;
  uint64_t firstRaw = program.size();
  for (size_t i = 0; i < sections.size(); ++i) {
    if (sections[i].rawSize == 0) continue;
    firstRaw = std::min<uint64_t>(firstRaw, sections[i].rawOffset);
    if (i < plan->keptCount) plan->cut = std::max(plan->cut, sections[i].RawEnd());
  }
  const uint64_t tableEnd = headers.sectionTableOffset + kSectionHeaderSize * finalCount;
  // A new header needs zero bytes after the table (bound imports may lie there).
  const bool roomy = tableEnd <= headers.sizeOfHeaders && tableEnd <= firstRaw &&
                     (finalCount <= sections.size() ||
                      std::all_of(program.begin() + (tableEnd - kSectionHeaderSize),
                                  program.begin() + tableEnd, [](char c) { return c == '\0'; }));
  if (!roomy) return Fail(error, "no room in the headers for the resource section's header");
  if (plan->cut > program.size())
    return Fail(error, "the headers lie past the end of the file (truncated?)");
  return true;
}

// Nothing but the resources and the relocations may lie where the new
// layout changes things: no other directory, no debug record's file data.
bool CheckNothingElseMoves(const std::string& program, const PeHeaders& headers, const Plan& plan,
                           std::string* error) {
  if (plan.resources < 0) return true;
  const uint32_t movedFrom = headers.sections[plan.resources].virtualAddress;
  for (size_t d = 0; d < headers.directories.size(); ++d) {
    const int index = static_cast<int>(d);
    if (index == kDirectoryResources || index == kDirectoryCertificates ||
        index == kDirectoryRelocations)
      continue;
    if (headers.directories[d].address >= movedFrom)
      return Fail(error, "data directory entry " + std::to_string(d) +
                             " points at the resources or what follows them");
  }
  const PeDirectory debug = headers.Directory(kDirectoryDebug);
  uint32_t records = 0;
  if (debug.address == 0 || !headers.RvaToOffset(debug.address, debug.size, &records)) return true;
  for (uint32_t at = 0; at + kDebugRecordSize <= debug.size; at += kDebugRecordSize) {
    const uint32_t size = ReadLe32(program, records + at + 16);
    const uint32_t fileOffset = ReadLe32(program, records + at + 24);
    if (size != 0 && fileOffset != 0 && uint64_t{fileOffset} + size > plan.cut)
      return Fail(error, "a debug record's data lies where the resources would go");
  }
  return true;
}

bool AllZero(const std::string& bytes, uint64_t begin, uint64_t end) {
  return std::all_of(bytes.begin() + begin, bytes.begin() + end, [](char c) { return c == '\0'; });
}

// What follows the last section: a symbol table with its string table (what
// a strip leaves for long section names), then the certificate table.
struct Trailer {
  uint64_t symbolsBegin = 0;
  uint64_t symbolsEnd = 0;  // equal: no symbol table to carry over
  bool certificates = false;
};

// Nothing else may follow the sections: it would be lost.
bool PlanTrailer(const std::string& program, const PeHeaders& headers, Trailer* trailer,
                 std::string* error) {
  uint64_t end = headers.sizeOfHeaders;
  for (const PeSection& section : headers.sections) {
    if (section.rawSize != 0) end = std::max(end, section.RawEnd());
  }
  const uint64_t symbols = headers.symbolTableOffset;
  if (symbols >= end && symbols < program.size()) {
    const uint64_t strings = symbols + 18 * uint64_t{headers.symbolCount};
    if (!RangeFits(strings, 4, program.size()))
      return Fail(error, "the symbol table lies past the end of the file (truncated?)");
    const uint64_t stringsEnd = strings + std::max<uint32_t>(ReadLe32(program, strings), 4);
    if (stringsEnd > program.size() || !AllZero(program, end, symbols))
      return Fail(error, "the symbol table does not follow the sections");
    trailer->symbolsBegin = symbols;
    trailer->symbolsEnd = end = stringsEnd;
  }
  const PeDirectory table = headers.Directory(kDirectoryCertificates);
  trailer->certificates = table.address != 0 || table.size != 0;
  if (end >= program.size()) return true;
  if (trailer->certificates && table.address >= end &&
      uint64_t{table.address} + table.size == program.size() &&
      AllZero(program, end, table.address))
    return true;
  return Fail(error, "the file holds " + std::to_string(program.size() - end) +
                         " bytes after its sections that are not a symbol or certificate table "
                         "(appended data, which packing would lose)");
}

void WriteSectionHeader(std::string* out, size_t at, const PeSection& section) {
  for (size_t i = 0; i < 8; ++i) (*out)[at + i] = i < section.name.size() ? section.name[i] : '\0';
  WriteLe32(out, at + 8, section.virtualSize);
  WriteLe32(out, at + 12, section.virtualAddress);
  WriteLe32(out, at + 16, section.rawSize);
  WriteLe32(out, at + 20, section.rawOffset);
  WriteLe32(out, at + 36, section.characteristics);
}

}  // namespace

bool RebuildWithResources(const std::string& program, const PeHeaders& headers,
                          std::vector<ResourceItem> items, std::string* out, RebuildNotes* notes,
                          std::string* error) {
  *notes = RebuildNotes();
  Plan plan;
  Trailer trailer;
  if (!PlanSections(program, headers, &plan, error) ||
      !CheckNothingElseMoves(program, headers, plan, error) ||
      !PlanTrailer(program, headers, &trailer, error))
    return false;
  const std::vector<PeSection>& sections = headers.sections;

  // Room for the whole copy but the resources' names, at once: growing a
  // string of an installer's size would copy it and double it.
  uint64_t expected = plan.cut + 3 * uint64_t{headers.fileAlignment} +
                      (plan.relocations >= 0 ? sections[plan.relocations].rawSize : 0) +
                      (trailer.symbolsEnd - trailer.symbolsBegin);
  for (const ResourceItem& item : items) expected += item.size + 8 + 48;
  if (expected <= 0xFFFFFFFFu) out->reserve(static_cast<size_t>(expected));
  out->assign(program, 0, plan.cut);
  PadTo(out, headers.fileAlignment);
  std::vector<PeSection> layout(sections.begin(), sections.begin() + plan.keptCount);
  // Addresses continue where the old resource section began.
  uint32_t address = 0;
  if (plan.resources >= 0) {
    address = sections[plan.resources].virtualAddress;
  } else if (!AlignUp(layout.empty() ? headers.sizeOfHeaders : layout.back().VirtualEnd(),
                      headers.sectionAlignment, &address)) {
    return Fail(error, "the program's address space is full");
  }
  uint32_t relocationsAddress = 0;
  if (plan.relocations >= 0) {
    PeSection moved = sections[plan.relocations];
    const uint32_t rawOffset = static_cast<uint32_t>(out->size());
    out->append(program, moved.rawOffset, moved.rawSize);
    PadTo(out, headers.fileAlignment);
    moved.rawOffset = moved.rawSize != 0 ? rawOffset : 0;
    moved.rawSize = static_cast<uint32_t>(out->size()) - rawOffset;
    moved.virtualAddress = relocationsAddress = address;
    if (!AlignUp(moved.VirtualEnd(), headers.sectionAlignment, &address))
      return Fail(error, "the program's address space is full");
    layout.push_back(moved);
  }

  PeSection resources;
  resources.name = ".rsrc";
  resources.characteristics = kResourceCharacteristics;
  if (plan.resources >= 0) {
    resources.name = sections[plan.resources].name;
    resources.characteristics = sections[plan.resources].characteristics;
  }
  resources.virtualAddress = address;
  resources.rawOffset = static_cast<uint32_t>(out->size());
  if (!AppendResourceSection(std::move(items), address, out, error)) return false;
  resources.virtualSize = static_cast<uint32_t>(out->size() - resources.rawOffset);
  PadTo(out, headers.fileAlignment);
  resources.rawSize = static_cast<uint32_t>(out->size() - resources.rawOffset);
  const uint64_t symbolsAt = out->size();
  out->append(program, trailer.symbolsBegin, trailer.symbolsEnd - trailer.symbolsBegin);
  uint32_t sizeOfImage = 0;
  if (out->size() > 0xFFFFFFFFu ||
      !AlignUp(resources.VirtualEnd(), headers.sectionAlignment, &sizeOfImage))
    return Fail(error, "the resources do not fit in a program");
  layout.push_back(resources);

  // The headers of the copy. A kept section without file data may name an
  // offset past what is kept, which the loader ignores and a reader refuses:
  // it gets 0, as linkers write it (the moved relocations likewise).
  for (size_t i = 0; i < plan.keptCount; ++i) {
    if (sections[i].rawSize == 0)
      WriteLe32(out, headers.sectionTableOffset + kSectionHeaderSize * i + 20, 0);
  }
  for (size_t i = plan.keptCount; i < layout.size(); ++i) {
    const size_t at = headers.sectionTableOffset + kSectionHeaderSize * i;
    const bool moved = plan.relocations >= 0 && i == plan.keptCount;
    // A moved header keeps its other fields; a new one has none.
    if (moved)
      out->replace(at, kSectionHeaderSize, program,
                   headers.sectionTableOffset + kSectionHeaderSize * plan.relocations,
                   kSectionHeaderSize);
    else
      out->replace(at, kSectionHeaderSize, kSectionHeaderSize, '\0');
    WriteSectionHeader(out, at, layout[i]);
  }
  WriteLe16(out, headers.NumberOfSectionsAt(), static_cast<uint16_t>(layout.size()));
  WriteLe32(out, headers.SizeOfImageAt(), sizeOfImage);
  const int64_t initialized = int64_t{ReadLe32(program, headers.SizeOfInitializedDataAt())} +
                              resources.rawSize -
                              (plan.resources >= 0 ? sections[plan.resources].rawSize : 0);
  if (initialized >= 0 && initialized <= 0xFFFFFFFF)
    WriteLe32(out, headers.SizeOfInitializedDataAt(), static_cast<uint32_t>(initialized));
  WriteLe32(out, headers.DirectoryAt(kDirectoryResources), resources.virtualAddress);
  WriteLe32(out, headers.DirectoryAt(kDirectoryResources) + 4, resources.virtualSize);
  if (trailer.symbolsEnd != trailer.symbolsBegin)
    WriteLe32(out, headers.SymbolTableAt(), static_cast<uint32_t>(symbolsAt));
  if (trailer.certificates) {
    WriteLe32(out, headers.DirectoryAt(kDirectoryCertificates), 0);
    WriteLe32(out, headers.DirectoryAt(kDirectoryCertificates) + 4, 0);
    notes->droppedCertificates = true;
  }
  if (plan.relocations >= 0)
    WriteLe32(out, headers.DirectoryAt(kDirectoryRelocations), relocationsAddress);
  WriteLe32(out, headers.CheckSumAt(), 0);
  WriteLe32(out, headers.CheckSumAt(), PeChecksum(*out, headers.CheckSumAt()));
  return true;
}
