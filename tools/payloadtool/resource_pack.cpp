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

bool ApplyEdits(const std::string& path, const std::vector<ResourceEdit>& edits,
                const std::vector<std::vector<WORD>>& oldLanguages, std::string* error) {
  HANDLE handle = BeginUpdateResourceA(path.c_str(), FALSE);
  if (!handle) {
    const DWORD code = GetLastError();
    *error = "cannot begin updating the copy (" + ErrorCodeText(code) + ")";
    return false;
  }
  ResourceUpdate update(handle);
  for (size_t i = 0; i < edits.size(); ++i) {
    const ResourceEdit& edit = edits[i];
    const char* type = edit.resource.type.c_str();
    const char* name = edit.resource.name.c_str();
    for (WORD language : oldLanguages[i]) {
      if (!UpdateResourceA(handle, type, name, language, nullptr, 0)) {
        const DWORD code = GetLastError();
        *error = "cannot remove " + edit.resource.Text() + " (" + ErrorCodeText(code) + ")";
        return false;
      }
    }
    if (edit.remove) continue;
    if (!UpdateResourceA(handle, type, name, kNeutral, const_cast<char*>(edit.data.data()),
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

// Every edited resource must now exist exactly as asked: only the neutral
// variant with the given bytes, or not at all.
bool ReadsBackAsWritten(const std::string& path, const std::vector<ResourceEdit>& edits,
                        std::string* error) {
  ResourceImage image;
  if (!image.Open(path, error)) return false;
  for (const ResourceEdit& edit : edits) {
    const char* type = edit.resource.type.c_str();
    const char* name = edit.resource.name.c_str();
    const std::vector<WORD> languages = image.Languages(type, name);
    std::string data;
    const bool good =
        edit.remove ? languages.empty()
                    : languages.size() == 1 && languages[0] == kNeutral &&
                          image.ReadLanguage(type, name, kNeutral, &data) == ResourceRead::kFound &&
                          data == edit.data;
    if (!good) {
      *error = "the written copy does not hold " + edit.resource.Text() + " as asked";
      return false;
    }
  }
  return true;
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
  std::vector<std::vector<WORD>> oldLanguages;
  {
    ResourceImage image;
    std::string why;
    if (!image.Open(stub, &why)) {
      *error = stub + ": " + why;
      return false;
    }
    for (const ResourceEdit& edit : edits)
      oldLanguages.push_back(image.Languages(edit.resource.type.c_str(), edit.resource.name.c_str()));
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
  if (!CopyFileA(stub.c_str(), temporary.path().c_str(), FALSE)) {
    const DWORD code = GetLastError();
    *error = "cannot copy " + stub + " (" + ErrorCodeText(code) + ")";
    return false;
  }
  // A read-only stub gives a read-only copy, which cannot be updated.
  if (!SetFileAttributesA(temporary.path().c_str(), FILE_ATTRIBUTE_NORMAL)) {
    const DWORD code = GetLastError();
    *error = "cannot make the copy writable (" + ErrorCodeText(code) + ")";
    return false;
  }
  if (!ApplyEdits(temporary.path(), edits, oldLanguages, error)) return false;
  if (!ReadsBackAsWritten(temporary.path(), edits, error)) return false;
  if (!MoveFileExA(temporary.path().c_str(), out.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    *error = "cannot replace " + out + " (" + ErrorCodeText(code) + ")";
    return false;
  }
  temporary.Release();
  return true;
}
