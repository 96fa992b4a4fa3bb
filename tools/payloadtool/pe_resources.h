#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "pe_headers.h"
#include "resource_directory.h"

enum class ResourceRead { kFound, kMissing };

// A program file read into memory for its resources; it is never run.
class ResourceImage {
 public:
  // Reads the file, its headers and its resource directory, all checked
  // against the file; false with a reason ("no such file", "not a program
  // (no PE header)", "malformed resources: ...").
  bool Open(const std::string& path, std::string* error);
  bool Load(std::string bytes, std::string* error);

  // Every resource, in directory order.
  const std::deque<ResourceEntry>& Entries() const { return resources_.entries; }
  // The languages in which type/name exists (empty when it does not).
  std::vector<uint16_t> Languages(const char* type, const char* name) const;
  // The variant the platform picks for a lookup without a language on an
  // English (US) system: neutral, US English, English, else the first.
  ResourceRead Read(const char* type, const char* name, std::string* data) const;
  ResourceRead ReadLanguage(const char* type, const char* name, uint16_t language,
                            std::string* data) const;

  const std::string& Bytes() const { return bytes_; }
  const PeHeaders& Headers() const { return headers_; }

 private:
  // Type and name compared as the platform looks them up ("#24" is a number).
  std::vector<const ResourceEntry*> Variants(const char* type, const char* name) const;

  std::string bytes_;
  PeHeaders headers_;
  ResourceDirectory resources_;
};
