#include "resource_pack.h"

#include <windows.h>

#include "file_bytes.h"
#include "pe_resources.h"

namespace {

const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

// Deletes the temporary copy unless it was moved into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) DeleteFileA(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  std::string path_;
};

// Ends an update, discarding it unless Commit succeeded.
class ResourceUpdate {
 public:
  explicit ResourceUpdate(HANDLE update) : update_(update) {}
  ~ResourceUpdate() {
    if (update_) EndUpdateResourceA(update_, TRUE);
  }
  ResourceUpdate(const ResourceUpdate&) = delete;
  ResourceUpdate& operator=(const ResourceUpdate&) = delete;
  HANDLE handle() const { return update_; }
  bool Commit(DWORD* code) {
    const BOOL written = EndUpdateResourceA(update_, FALSE);
    *code = GetLastError();
    update_ = nullptr;
    return written != FALSE;
  }

 private:
  HANDLE update_;
};

bool DirectoryOf(const std::string& path, std::string* directory, std::string* error) {
  char full[MAX_PATH];
  char* filePart = nullptr;
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, &filePart);
  if (length == 0 || length >= sizeof full || !filePart) {
    *error = "cannot resolve the output path " + path;
    return false;
  }
  *directory = std::string(full, filePart);
  return true;
}

bool IsEdited(const ResourceEntry& entry, const std::vector<ResourceEdit>& edits) {
  if (entry.type.isNumber || entry.name.isNumber) return false;
  for (const ResourceEdit& edit : edits) {
    // The platform finds string names whatever their letter case.
    if (_stricmp(entry.type.text.c_str(), edit.resource.type.c_str()) == 0 &&
        _stricmp(entry.name.text.c_str(), edit.resource.name.c_str()) == 0)
      return true;
  }
  return false;
}

// The stub's resources that the edits leave alone.
bool KeptResources(const ResourceImage& stub, const std::vector<ResourceEdit>& edits,
                   std::vector<ResourceEntry>* kept, std::string* error) {
  std::vector<ResourceEntry> all;
  if (!stub.List(&all, error)) return false;
  kept->clear();
  for (const ResourceEntry& entry : all) {
    if (!IsEdited(entry, edits)) kept->push_back(entry);
  }
  return true;
}

std::string Describe(const ResourceEntry& entry) {
  return entry.type.DisplayType() + "/" + entry.name.Display();
}

// Rewrites the copy's resources from scratch: the kept ones, then the new
// ones. Removing single variants in place is not reliable (Wine 8 ignores
// such removals), a rewrite is.
bool WriteResources(const std::string& path, const ResourceImage& stub,
                    const std::vector<ResourceEntry>& kept,
                    const std::vector<ResourceEdit>& edits, std::string* error) {
  HANDLE handle = BeginUpdateResourceA(path.c_str(), TRUE);
  if (!handle) {
    const DWORD code = GetLastError();
    *error = "cannot begin updating the copy (" + ErrorCodeText(code) + ")";
    return false;
  }
  ResourceUpdate update(handle);
  for (const ResourceEntry& entry : kept) {
    const void* data = nullptr;
    DWORD size = 0;
    if (stub.View(entry, &data, &size) != ResourceRead::kFound) {
      *error = "cannot read " + Describe(entry) + " of the stub";
      return false;
    }
    if (!UpdateResourceA(handle, entry.type.Pointer(), entry.name.Pointer(), entry.language,
                         const_cast<void*>(data), size)) {
      const DWORD code = GetLastError();
      *error = "cannot keep " + Describe(entry) + " (" + ErrorCodeText(code) + ")";
      return false;
    }
  }
  for (const ResourceEdit& edit : edits) {
    if (edit.remove) continue;
    if (!UpdateResourceA(handle, edit.resource.type.c_str(), edit.resource.name.c_str(), kNeutral,
                         const_cast<char*>(edit.data.data()),
                         static_cast<DWORD>(edit.data.size()))) {
      const DWORD code = GetLastError();
      *error = "cannot add " + edit.resource.Text() + " (" + ErrorCodeText(code) + ")";
      return false;
    }
  }
  DWORD code = 0;
  if (!update.Commit(&code)) {
    *error = "cannot write the updated copy (" + ErrorCodeText(code) + ")";
    return false;
  }
  return true;
}

bool SameBytes(const ResourceImage& a, const ResourceImage& b, const ResourceEntry& entry) {
  const void* aData = nullptr;
  const void* bData = nullptr;
  DWORD aSize = 0, bSize = 0;
  return a.View(entry, &aData, &aSize) == ResourceRead::kFound &&
         b.View(entry, &bData, &bSize) == ResourceRead::kFound && aSize == bSize &&
         memcmp(aData, bData, aSize) == 0;
}

// The copy must hold exactly the kept resources with the stub's bytes and
// each added one as its only, neutral variant.
bool ReadsBackAsWritten(const std::string& path, const ResourceImage& stub,
                        const std::vector<ResourceEntry>& kept,
                        const std::vector<ResourceEdit>& edits, std::string* error) {
  ResourceImage copy;
  std::vector<ResourceEntry> written;
  if (!copy.Open(path, error) || !copy.List(&written, error)) return false;
  size_t expected = kept.size();
  for (const ResourceEdit& edit : edits) {
    if (edit.remove) continue;
    ++expected;
    const char* type = edit.resource.type.c_str();
    const char* name = edit.resource.name.c_str();
    std::string data;
    if (copy.Languages(type, name) != std::vector<WORD>{kNeutral} ||
        copy.ReadLanguage(type, name, kNeutral, &data) != ResourceRead::kFound ||
        data != edit.data) {
      *error = "the written copy does not hold " + edit.resource.Text() + " as asked";
      return false;
    }
  }
  for (const ResourceEntry& entry : kept) {
    if (!SameBytes(stub, copy, entry)) {
      *error = "the written copy lost " + Describe(entry) + " of the stub";
      return false;
    }
  }
  if (written.size() != expected) {
    *error = "the written copy holds " + std::to_string(written.size()) + " resources, not " +
             std::to_string(expected);
    return false;
  }
  return true;
}

// Everything up to a complete, checked temporary copy; the stub is held
// open only here, so that out may be the stub itself.
bool WriteCheckedCopy(const std::string& stubPath, const std::string& copyPath,
                      const std::vector<ResourceEdit>& edits, std::string* error) {
  ResourceImage stub;
  std::vector<ResourceEntry> kept;
  std::string why;
  if (!stub.Open(stubPath, &why)) {
    *error = stubPath + ": " + why;
    return false;
  }
  if (!KeptResources(stub, edits, &kept, error)) return false;
  if (!CopyFileA(stubPath.c_str(), copyPath.c_str(), FALSE)) {
    const DWORD code = GetLastError();
    *error = "cannot copy " + stubPath + " (" + ErrorCodeText(code) + ")";
    return false;
  }
  // A read-only stub gives a read-only copy, which cannot be updated.
  if (!SetFileAttributesA(copyPath.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    const DWORD code = GetLastError();
    *error = "cannot make the copy writable (" + ErrorCodeText(code) + ")";
    return false;
  }
  return WriteResources(copyPath, stub, kept, edits, error) &&
         ReadsBackAsWritten(copyPath, stub, kept, edits, error);
}

}  // namespace

bool WriteEditedCopy(const std::string& stub, const std::string& out,
                     const std::vector<ResourceEdit>& edits, std::string* error) {
  for (const ResourceEdit& edit : edits) {
    // The platform reads an update of zero bytes as a removal.
    if (!edit.remove && edit.data.empty()) {
      *error = edit.resource.Text() + " is empty";
      return false;
    }
  }
  std::string directory;
  if (!DirectoryOf(out, &directory, error)) return false;
  char temporaryPath[MAX_PATH];
  if (!GetTempFileNameA(directory.c_str(), "pkt", 0, temporaryPath)) {
    const DWORD code = GetLastError();
    *error = "cannot make a temporary file in " + directory + " (" + ErrorCodeText(code) + ")";
    return false;
  }
  TemporaryFile temporary(temporaryPath);
  if (!WriteCheckedCopy(stub, temporary.path(), edits, error)) return false;
  if (!MoveFileExA(temporary.path().c_str(), out.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    *error = "cannot replace " + out + " (" + ErrorCodeText(code) + ")";
    return false;
  }
  temporary.Release();
  return true;
}
