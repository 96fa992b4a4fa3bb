#pragma once
// Small PE programs made in memory for the tests of the PE reader and writer.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "resource_section.h"

struct TestSection {
  std::string name;
  std::string bytes;         // its file data, padded to the file alignment when built
  uint32_t virtualSize = 0;  // 0: the size of bytes
};

struct TestProgram {
  static constexpr uint32_t kSectionAlignment = 0x1000;
  static constexpr uint32_t kFileAlignment = 0x200;

  bool is64 = false;
  uint32_t sizeOfHeaders = 0x400;
  std::vector<TestSection> sections;
  uint32_t directories[16][2] = {};  // address, size
  std::string symbols;               // a symbol table after the sections
  uint32_t symbolCount = 0;
  std::string trailing;  // bytes after the last section and the symbols

  // The address the section at index gets, from those before it.
  uint32_t AddressOf(size_t index) const;
  std::string Build() const;
};

// .text, then .rsrc holding items, then (when relocations) .reloc with the
// directory entries set.
TestProgram ProgramWithResources(const std::vector<ResourceItem>& items, bool relocations = true,
                                 bool is64 = false);

// A few resources of every kind of key: named and numbered types and names,
// several languages; their keys and data live in the returned object (which
// can be moved, not copied: the items point into it).
struct TestResources {
  std::deque<ResourceId> keys;
  std::vector<std::string> data;
  std::vector<ResourceItem> items;

  TestResources() = default;
  TestResources(TestResources&&) = default;
  TestResources(const TestResources&) = delete;
  TestResources& operator=(const TestResources&) = delete;
};
TestResources SampleResources();

void PutLe32(std::string* bytes, size_t at, uint32_t value);
uint32_t GetLe32(const std::string& bytes, size_t at);
