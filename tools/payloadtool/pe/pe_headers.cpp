#include "pe_headers.h"

#include <cstdio>

#include "byte_order.h"
#include "printable_text.h"

namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe64 = 0x20B;
constexpr uint32_t kMaxDirectories = 16;
constexpr uint32_t kMaxAlignment = 0x10000;

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

std::string SectionName(const std::string& file, size_t at) {
  std::string name = file.substr(at, 8);
  return name.substr(0, name.find('\0'));
}

bool ReadSections(const std::string& file, uint32_t count, PeHeaders* headers, std::string* error) {
  if (!RangeFits(headers->sectionTableOffset, uint64_t{count} * kSectionHeaderSize, file.size()))
    return Fail(error, "truncated headers (the section table lies past the end of the file)");
  uint64_t previousEnd = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = headers->sectionTableOffset + i * kSectionHeaderSize;
    PeSection section;
    section.name = SectionName(file, at);
    section.virtualSize = ReadLe32(file, at + 8);
    section.virtualAddress = ReadLe32(file, at + 12);
    section.rawSize = ReadLe32(file, at + 16);
    section.rawOffset = ReadLe32(file, at + 20);
    section.characteristics = ReadLe32(file, at + 36);
    // A section without file data still names an offset, which a rewrite
    // copies from: it must lie in the file too.
    if (!RangeFits(section.rawOffset, section.rawSize, file.size()))
      return Fail(error, "section " + PrintableText(section.name) +
                             " lies past the end of the file (truncated?)");
    if (section.virtualAddress < previousEnd || section.virtualAddress < headers->sizeOfHeaders)
      return Fail(
          error, "section " + PrintableText(section.name) + " overlaps another or is out of order");
    previousEnd = section.VirtualEnd();
    headers->sections.push_back(section);
  }
  return true;
}

}  // namespace

uint32_t PeSection::FileBackedSize() const {
  return virtualSize != 0 && virtualSize < rawSize ? virtualSize : rawSize;
}

uint64_t PeSection::VirtualEnd() const {
  return static_cast<uint64_t>(virtualAddress) + (virtualSize != 0 ? virtualSize : rawSize);
}

PeDirectory PeHeaders::Directory(int index) const {
  return index >= 0 && static_cast<size_t>(index) < directories.size() ? directories[index]
                                                                       : PeDirectory{};
}

bool PeHeaders::RvaToOffset(uint32_t rva, uint32_t length, uint32_t* offset,
                            uint32_t* available) const {
  for (const PeSection& section : sections) {
    if (rva < section.virtualAddress) continue;
    const uint32_t into = rva - section.virtualAddress;
    if (!RangeFits(into, length, section.FileBackedSize())) continue;
    *offset = section.rawOffset + into;
    if (available) *available = section.FileBackedSize() - into;
    return true;
  }
  return false;
}

int PeHeaders::SectionStartingAt(uint32_t rva) const {
  for (size_t i = 0; i < sections.size(); ++i) {
    if (sections[i].virtualAddress == rva) return static_cast<int>(i);
  }
  return -1;
}

bool ReadPeHeaders(const std::string& file, PeHeaders* headers, std::string* error) {
  *headers = PeHeaders();
  // Every offset of the format is 32 bits.
  if (file.size() > 0xFFFFFFFFu) return Fail(error, "too large for a program");
  const size_t kSignatureOffsetAt = 0x3C;
  if (file.size() < kSignatureOffsetAt + 4 || file[0] != 'M' || file[1] != 'Z')
    return Fail(error, "not a program (no DOS header)");
  const uint32_t peOffset = ReadLe32(file, kSignatureOffsetAt);
  if (!RangeFits(peOffset, 4, file.size()) ||
      file.compare(peOffset, 4, std::string("PE\0\0", 4)) != 0)
    return Fail(error, "not a program (no PE header)");
  if (!RangeFits(peOffset, 24 + 2, file.size()))
    return Fail(error, "truncated headers (the file ends in its file header)");
  headers->peOffset = peOffset;
  headers->optionalOffset = peOffset + 24;
  const uint32_t sectionCount = ReadLe16(file, peOffset + 6);
  headers->symbolTableOffset = ReadLe32(file, peOffset + 12);
  headers->symbolCount = ReadLe32(file, peOffset + 16);
  const uint32_t optionalSize = ReadLe16(file, peOffset + 20);
  const uint16_t magic = ReadLe16(file, headers->optionalOffset);
  if (magic != kMagicPe32 && magic != kMagicPe64) {
    char text[64];
    snprintf(text, sizeof text, "not a program (unknown optional header magic 0x%04X)", magic);
    return Fail(error, text);
  }
  headers->is64 = magic == kMagicPe64;
  const uint32_t directoriesAt = headers->is64 ? 112 : 96;
  if (optionalSize < directoriesAt ||
      !RangeFits(headers->optionalOffset, optionalSize, file.size()))
    return Fail(error, "truncated headers (the optional header is cut short)");
  const uint32_t declared = ReadLe32(file, headers->optionalOffset + directoriesAt - 4);
  const uint32_t directoryCount = declared < kMaxDirectories ? declared : kMaxDirectories;
  if (directoriesAt + 8 * directoryCount > optionalSize)
    return Fail(error, "truncated headers (the data directory is cut short)");
  for (uint32_t i = 0; i < directoryCount; ++i) {
    const size_t at = headers->optionalOffset + directoriesAt + 8 * i;
    headers->directories.push_back(PeDirectory{ReadLe32(file, at), ReadLe32(file, at + 4)});
  }
  headers->sectionAlignment = ReadLe32(file, headers->optionalOffset + 32);
  headers->fileAlignment = ReadLe32(file, headers->optionalOffset + 36);
  headers->sizeOfHeaders = ReadLe32(file, headers->optionalOffset + 60);
  if (!IsPowerOfTwo(headers->fileAlignment) || headers->fileAlignment > kMaxAlignment ||
      !IsPowerOfTwo(headers->sectionAlignment) ||
      headers->sectionAlignment < headers->fileAlignment)
    return Fail(error, "unusable section or file alignment");
  headers->sectionTableOffset = headers->optionalOffset + optionalSize;
  return ReadSections(file, sectionCount, headers, error);
}
