#include "pe_resources.h"

#include "base/unique_handle.h"
#include "file_bytes.h"

namespace {

const char* StandardTypeName(WORD id) {
  static const char* const kNames[] = {
      nullptr,        "CURSOR",     "BITMAP",     "ICON",        "MENU",     "DIALOG",
      "STRING",       "FONTDIR",    "FONT",       "ACCELERATOR", "RCDATA",   "MESSAGETABLE",
      "GROUP_CURSOR", nullptr,      "GROUP_ICON", nullptr,       "VERSION",  "DLGINCLUDE",
      nullptr,        "PLUGPLAY",   "VXD",        "ANICURSOR",   "ANIICON",  "HTML",
      "MANIFEST"};
  return id < sizeof kNames / sizeof kNames[0] ? kNames[id] : nullptr;
}

struct Enumeration {
  HMODULE module;
  std::vector<ResourceEntry>* entries;
  ResourceId type;
  ResourceId name;
};

BOOL CALLBACK OnLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR param) {
  auto* walk = reinterpret_cast<Enumeration*>(param);
  HRSRC found = FindResourceExA(module, type, name, language);
  walk->entries->push_back(
      ResourceEntry{walk->type, walk->name, language, found ? SizeofResource(module, found) : 0});
  return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param) {
  auto* walk = reinterpret_cast<Enumeration*>(param);
  walk->name = ResourceId::From(name);
  EnumResourceLanguagesA(module, type, name, OnLanguage, param);
  return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR param) {
  auto* walk = reinterpret_cast<Enumeration*>(param);
  walk->type = ResourceId::From(type);
  EnumResourceNamesA(module, type, OnName, param);
  return TRUE;
}

BOOL CALLBACK OnLanguageList(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
  reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
  return TRUE;
}

}  // namespace

ResourceId ResourceId::From(const char* id) {
  ResourceId result;
  if (IS_INTRESOURCE(id)) {
    result.isNumber = true;
    result.number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id));
  } else {
    result.text = id;
  }
  return result;
}

std::string ResourceId::Display() const {
  return isNumber ? "#" + std::to_string(number) : text;
}

std::string ResourceId::DisplayType() const {
  const char* standard = isNumber ? StandardTypeName(number) : nullptr;
  return standard ? Display() + " (" + standard + ")" : Display();
}

bool CheckPeFile(const std::string& path, std::string* error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    *error = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
                 ? "no such file"
                 : "cannot open (" + ErrorCodeText(code) + ")";
    return false;
  }
  const UniqueHandle closer(file);
  // The PE signature of any real program lies within its first 4 KiB.
  unsigned char head[4096];
  DWORD got = 0;
  if (!ReadFile(file, head, sizeof head, &got, nullptr)) {
    const DWORD code = GetLastError();
    *error = "cannot read (" + ErrorCodeText(code) + ")";
    return false;
  }
  const DWORD kSignatureOffsetAt = 0x3C;
  if (got < kSignatureOffsetAt + 4 || head[0] != 'M' || head[1] != 'Z') {
    *error = "not a program (no DOS header)";
    return false;
  }
  const DWORD signatureAt = head[kSignatureOffsetAt] | head[kSignatureOffsetAt + 1] << 8 |
                            head[kSignatureOffsetAt + 2] << 16 |
                            static_cast<DWORD>(head[kSignatureOffsetAt + 3]) << 24;
  if (signatureAt > got - 4 || head[signatureAt] != 'P' || head[signatureAt + 1] != 'E' ||
      head[signatureAt + 2] != 0 || head[signatureAt + 3] != 0) {
    *error = "not a program (no PE header)";
    return false;
  }
  return true;
}

ResourceImage::~ResourceImage() {
  if (module_) FreeLibrary(module_);
}

bool ResourceImage::Open(const std::string& path, std::string* error) {
  if (!CheckPeFile(path, error)) return false;
  module_ = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module_) {
    const DWORD code = GetLastError();
    *error = "cannot load its resources (" + ErrorCodeText(code) + ")";
    return false;
  }
  return true;
}

bool ResourceImage::List(std::vector<ResourceEntry>* entries, std::string* error) const {
  entries->clear();
  Enumeration walk{module_, entries, {}, {}};
  if (!EnumResourceTypesA(module_, OnType, reinterpret_cast<LONG_PTR>(&walk))) {
    const DWORD code = GetLastError();
    // An image without a resource section has nothing to list.
    if (code == ERROR_RESOURCE_DATA_NOT_FOUND || code == ERROR_RESOURCE_TYPE_NOT_FOUND)
      return true;
    *error = "cannot list its resources (" + ErrorCodeText(code) + ")";
    return false;
  }
  return true;
}

std::vector<WORD> ResourceImage::Languages(const char* type, const char* name) const {
  std::vector<WORD> languages;
  // A type or name that does not exist fails the enumeration: no languages.
  EnumResourceLanguagesA(module_, type, name, OnLanguageList,
                         reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

ResourceRead ResourceImage::Load(HRSRC found, const void** data, DWORD* size) const {
  if (!found) return ResourceRead::kMissing;
  *size = SizeofResource(module_, found);
  HGLOBAL loaded = LoadResource(module_, found);
  *data = loaded ? LockResource(loaded) : nullptr;
  return *data ? ResourceRead::kFound : ResourceRead::kFailed;
}

ResourceRead ResourceImage::Read(const char* type, const char* name, std::string* data) const {
  return Copy(FindResourceA(module_, name, type), data);
}

ResourceRead ResourceImage::ReadLanguage(const char* type, const char* name, WORD language,
                                         std::string* data) const {
  return Copy(FindResourceExA(module_, type, name, language), data);
}

ResourceRead ResourceImage::Copy(HRSRC found, std::string* data) const {
  const void* bytes = nullptr;
  DWORD size = 0;
  const ResourceRead read = Load(found, &bytes, &size);
  if (read == ResourceRead::kFound) data->assign(static_cast<const char*>(bytes), size);
  return read;
}

ResourceRead ResourceImage::View(const ResourceEntry& entry, const void** data,
                                 DWORD* size) const {
  return Load(FindResourceExA(module_, entry.type.Pointer(), entry.name.Pointer(), entry.language),
              data, size);
}
