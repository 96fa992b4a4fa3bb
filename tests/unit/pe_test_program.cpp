#include "pe_test_program.h"

namespace {

uint32_t Align(uint32_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

void PutLe16(std::string* bytes, size_t at, uint16_t value) {
  (*bytes)[at] = static_cast<char>(value);
  (*bytes)[at + 1] = static_cast<char>(value >> 8);
}

}  // namespace

void PutLe32(std::string* bytes, size_t at, uint32_t value) {
  PutLe16(bytes, at, static_cast<uint16_t>(value));
  PutLe16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

uint32_t GetLe32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

uint32_t TestProgram::AddressOf(size_t index) const {
  uint32_t address = kSectionAlignment;
  for (size_t i = 0; i < index; ++i) {
    const TestSection& s = sections[i];
    address += Align(s.virtualSize ? s.virtualSize : static_cast<uint32_t>(s.bytes.size()),
                     kSectionAlignment);
  }
  return address;
}

std::string TestProgram::Build() const {
  const uint32_t peAt = 0x80;
  const uint32_t optionalAt = peAt + 24;
  const uint16_t optionalSize = is64 ? 240 : 224;
  std::string file(sizeOfHeaders, '\0');
  file[0] = 'M';
  file[1] = 'Z';
  PutLe32(&file, 0x3C, peAt);
  file.replace(peAt, 4, std::string("PE\0\0", 4));
  PutLe16(&file, peAt + 4, is64 ? 0x8664 : 0x14C);
  PutLe16(&file, peAt + 6, static_cast<uint16_t>(sections.size()));
  PutLe16(&file, peAt + 20, optionalSize);
  PutLe16(&file, peAt + 22, 0x102);
  PutLe16(&file, optionalAt, is64 ? 0x20B : 0x10B);
  PutLe32(&file, optionalAt + 32, kSectionAlignment);
  PutLe32(&file, optionalAt + 36, kFileAlignment);
  PutLe32(&file, optionalAt + 56, AddressOf(sections.size()));
  PutLe32(&file, optionalAt + 60, sizeOfHeaders);
  const uint32_t directoriesAt = optionalAt + (is64 ? 112 : 96);
  PutLe32(&file, directoriesAt - 4, 16);
  for (int d = 0; d < 16; ++d) {
    PutLe32(&file, directoriesAt + 8 * d, directories[d][0]);
    PutLe32(&file, directoriesAt + 8 * d + 4, directories[d][1]);
  }
  for (size_t i = 0; i < sections.size(); ++i) {
    const TestSection& s = sections[i];
    const size_t header = optionalAt + optionalSize + 40 * i;
    const uint32_t rawSize = Align(static_cast<uint32_t>(s.bytes.size()), kFileAlignment);
    file.replace(header, s.name.size(), s.name);
    PutLe32(&file, header + 8,
            s.virtualSize ? s.virtualSize : static_cast<uint32_t>(s.bytes.size()));
    PutLe32(&file, header + 12, AddressOf(i));
    PutLe32(&file, header + 16, rawSize);
    PutLe32(&file, header + 20, rawSize ? static_cast<uint32_t>(file.size()) : 0);
    PutLe32(&file, header + 36, 0x40000040);
    file += s.bytes;
    file.resize(Align(static_cast<uint32_t>(file.size()), kFileAlignment), '\0');
  }
  if (!symbols.empty()) {
    PutLe32(&file, peAt + 12, static_cast<uint32_t>(file.size()));
    PutLe32(&file, peAt + 16, symbolCount);
  }
  return file + symbols + trailing;
}

TestProgram ProgramWithResources(const std::vector<ResourceItem>& items, bool relocations,
                                 bool is64) {
  TestProgram program;
  program.is64 = is64;
  program.sections.push_back(TestSection{".text", std::string(0x300, '\xC3')});
  std::string resources;
  std::string error;
  AppendResourceSection(items, program.AddressOf(1), &resources, &error);
  program.sections.push_back(TestSection{".rsrc", resources});
  program.directories[2][0] = program.AddressOf(1);
  program.directories[2][1] = static_cast<uint32_t>(resources.size());
  if (relocations) {
    std::string block(12, '\0');
    PutLe32(&block, 0, 0x1000);  // one page, two entries
    PutLe32(&block, 4, 12);
    PutLe32(&block, 8, 0x30103010);
    program.sections.push_back(TestSection{".reloc", block});
    program.directories[5][0] = program.AddressOf(2);
    program.directories[5][1] = 12;
  }
  return program;
}

TestResources SampleResources() {
  TestResources sample;
  sample.data = {
      "<payload/>", std::string("MZ\0installer", 12), std::string(37, 'i'), "de", "en", "ja",
      "manifest"};
  const auto add = [&sample](ResourceId type, ResourceId name, uint16_t language, size_t data) {
    sample.keys.push_back(type);
    sample.keys.push_back(name);
    sample.items.push_back(ResourceItem{&sample.keys[sample.keys.size() - 2], &sample.keys.back(),
                                        language, 0, sample.data[data].data(),
                                        static_cast<uint32_t>(sample.data[data].size())});
  };
  add(ResourceId::Name("XML"), ResourceId::Name("PAYLOAD"), 0, 0);
  add(ResourceId::Name("EXE"), ResourceId::Name("LUMENO2_ADMIN"), 0, 1);
  add(ResourceId::Number(3), ResourceId::Number(1), 0x409, 2);
  add(ResourceId::Number(6), ResourceId::Number(1), 0x407, 3);
  add(ResourceId::Number(6), ResourceId::Number(1), 0x409, 4);
  add(ResourceId::Number(6), ResourceId::Number(1), 0x411, 5);
  add(ResourceId::Number(24), ResourceId::Number(1), 0x409, 6);
  add(ResourceId::Name("EXE"), ResourceId::Name("A_B"), 0, 2);
  return sample;
}
