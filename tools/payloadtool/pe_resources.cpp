#include "pe_resources.h"

#include "file_bytes.h"

bool ResourceImage::Open(const std::string& path, std::string* error) {
  std::string bytes;
  return ReadFileBytes(path, &bytes, error) && Load(std::move(bytes), error);
}

bool ResourceImage::Load(std::string bytes, std::string* error) {
  bytes_ = std::move(bytes);
  resources_ = ResourceDirectory();
  return ReadPeHeaders(bytes_, &headers_, error) &&
         ReadResources(bytes_, headers_, &resources_, error);
}

std::vector<const ResourceEntry*> ResourceImage::Variants(const char* type,
                                                          const char* name) const {
  const ResourceId typeId = ResourceId::Parse(type);
  const ResourceId nameId = ResourceId::Parse(name);
  std::vector<const ResourceEntry*> variants;
  for (const ResourceEntry& entry : resources_.entries) {
    if (entry.type->Matches(typeId) && entry.name->Matches(nameId)) variants.push_back(&entry);
  }
  return variants;
}

std::vector<uint16_t> ResourceImage::Languages(const char* type, const char* name) const {
  std::vector<uint16_t> languages;
  for (const ResourceEntry* entry : Variants(type, name)) languages.push_back(entry->language);
  return languages;
}

ResourceRead ResourceImage::Read(const char* type, const char* name, std::string* data) const {
  const std::vector<const ResourceEntry*> variants = Variants(type, name);
  if (variants.empty()) return ResourceRead::kMissing;
  for (uint16_t language : {0x0000, 0x0409, 0x0009}) {
    for (const ResourceEntry* entry : variants) {
      if (entry->language == language) {
        data->assign(bytes_, entry->offset, entry->size);
        return ResourceRead::kFound;
      }
    }
  }
  data->assign(bytes_, variants.front()->offset, variants.front()->size);
  return ResourceRead::kFound;
}

ResourceRead ResourceImage::ReadLanguage(const char* type, const char* name, uint16_t language,
                                         std::string* data) const {
  for (const ResourceEntry* entry : Variants(type, name)) {
    if (entry->language == language) {
      data->assign(bytes_, entry->offset, entry->size);
      return ResourceRead::kFound;
    }
  }
  return ResourceRead::kMissing;
}
