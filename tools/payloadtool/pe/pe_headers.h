#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The headers and section table of a PE32 or PE32+ program, read from its
// file bytes with every offset checked against the file.

constexpr int kDirectoryResources = 2;
constexpr int kDirectoryCertificates = 4;
constexpr int kDirectoryRelocations = 5;
constexpr int kDirectoryDebug = 6;

constexpr size_t kSectionHeaderSize = 40;

struct PeSection {
  std::string name;  // up to 8 characters
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
  uint32_t characteristics = 0;

  // How many of its bytes the loader maps from the file.
  uint32_t FileBackedSize() const;
  uint64_t RawEnd() const { return static_cast<uint64_t>(rawOffset) + rawSize; }
  // The end of its address range (a section without a virtual size spans its raw size).
  uint64_t VirtualEnd() const;
};

struct PeDirectory {
  uint32_t address = 0;  // an RVA; for the certificate table a file offset
  uint32_t size = 0;
};

struct PeHeaders {
  bool is64 = false;
  uint32_t peOffset = 0;        // "PE\0\0"
  uint32_t optionalOffset = 0;  // the optional header
  uint32_t sectionTableOffset = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t symbolTableOffset = 0;  // the COFF symbol table (and string table after it); 0: none
  uint32_t symbolCount = 0;
  std::vector<PeDirectory> directories;  // NumberOfRvaAndSizes of them, at most 16
  std::vector<PeSection> sections;       // in table order, which is address order

  // A missing entry reads as empty.
  PeDirectory Directory(int index) const;

  // File offsets of the header fields that a rewrite changes.
  size_t NumberOfSectionsAt() const { return peOffset + 6; }
  size_t SymbolTableAt() const { return peOffset + 12; }
  size_t SizeOfInitializedDataAt() const { return optionalOffset + 8; }
  size_t SizeOfImageAt() const { return optionalOffset + 56; }
  size_t CheckSumAt() const { return optionalOffset + 64; }
  size_t DirectoryAt(int index) const {
    return optionalOffset + (is64 ? 112 : 96) + 8 * static_cast<size_t>(index);
  }

  // The file offset of [rva, rva + length) when one section's file bytes
  // hold all of it, and how many of that section's file bytes follow rva;
  // false otherwise.
  bool RvaToOffset(uint32_t rva, uint32_t length, uint32_t* offset,
                   uint32_t* available = nullptr) const;
  // The index of the section that begins at rva; -1 when none does.
  int SectionStartingAt(uint32_t rva) const;
};

// Reads the headers; false with a reason. A file that is not a PE program at
// all gets a reason that begins "not a program".
bool ReadPeHeaders(const std::string& file, PeHeaders* headers, std::string* error);
