#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A resource type or name as the platform hands it out: a string, or a number.
struct ResourceId {
  bool isNumber = false;
  WORD number = 0;
  std::string text;

  static ResourceId From(const char* id);
  const char* Pointer() const { return isNumber ? MAKEINTRESOURCEA(number) : text.c_str(); }
  std::string Display() const;      // "PAYLOAD", "#1"
  std::string DisplayType() const;  // "XML", "#24 (MANIFEST)"
};

struct ResourceEntry {
  ResourceId type;
  ResourceId name;
  WORD language;
  DWORD size;
};

// Checks that a file is a PE image (DOS header, then the PE signature where
// it points); false with a reason.
bool CheckPeFile(const std::string& path, std::string* error);

enum class ResourceRead { kFound, kMissing, kFailed };

// A PE file loaded as data for reading its resources; it is never run.
class ResourceImage {
 public:
  ResourceImage() = default;
  ~ResourceImage();
  ResourceImage(const ResourceImage&) = delete;
  ResourceImage& operator=(const ResourceImage&) = delete;

  // Checks the headers first, so that a file that is not a program gets a
  // clear reason.
  bool Open(const std::string& path, std::string* error);

  // Every resource, in the image's order; an image without any is an empty list.
  bool List(std::vector<ResourceEntry>* entries, std::string* error) const;

  // The languages in which type/name exists (empty when it does not).
  std::vector<WORD> Languages(const char* type, const char* name) const;

  // The variant the program finds (FindResourceA), or exactly language.
  ResourceRead Read(const char* type, const char* name, std::string* data) const;
  ResourceRead ReadLanguage(const char* type, const char* name, WORD language,
                            std::string* data) const;
  // The bytes in place, valid while the image is open.
  ResourceRead View(const ResourceEntry& entry, const void** data, DWORD* size) const;

 private:
  ResourceRead Load(HRSRC found, const void** data, DWORD* size) const;
  ResourceRead Copy(HRSRC found, std::string* data) const;
  HMODULE module_ = nullptr;
};
