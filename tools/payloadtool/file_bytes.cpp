#include "file_bytes.h"

#include <windows.h>

#include <algorithm>

#include "base/unique_handle.h"

namespace {

std::string ErrorCodeText(DWORD code) { return "error " + std::to_string(code); }

// Resources live in a 32-bit image: anything near 2 GiB cannot be packed.
constexpr LONGLONG kLargestFile = 0x70000000;

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

bool WriteAll(HANDLE file, const std::string& bytes, std::string* error) {
  size_t written = 0;
  while (written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 24));
    DWORD put = 0;
    if (!WriteFile(file, bytes.data() + written, chunk, &put, nullptr)) {
      const DWORD code = GetLastError();
      *error = "cannot write (" + ErrorCodeText(code) + ")";
      return false;
    }
    // A full disk can report success for part of a write: only the count says.
    if (put != chunk) {
      *error = "cannot write (short write: the disk is full?)";
      return false;
    }
    written += put;
  }
  return true;
}

// Writes bytes to the new file temporary; false with a reason.
bool WriteTemporary(const char* temporary, const std::string& bytes, std::string* error) {
  UniqueHandle file(CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD code = GetLastError();
    *error = "cannot open " + std::string(temporary) + " (" + ErrorCodeText(code) + ")";
    return false;
  }
  if (!WriteAll(file.get(), bytes, error)) {
    *error = std::string(temporary) + ": " + *error;
    return false;
  }
  if (!file.Close()) {
    const DWORD code = GetLastError();
    *error = std::string(temporary) + ": cannot close (" + ErrorCodeText(code) + ")";
    return false;
  }
  return true;
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::string* bytes, std::string* error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
      *error = "no such file";
    else
      *error = "cannot open (" + ErrorCodeText(code) + ")";
    return false;
  }
  const UniqueHandle closer(file);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) {
    const DWORD code = GetLastError();
    *error = "cannot read its size (" + ErrorCodeText(code) + ")";
    return false;
  }
  if (size.QuadPart > kLargestFile) {
    *error = "too large";
    return false;
  }
  bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
  if (bytes->empty()) return true;
  DWORD got = 0;
  const BOOL read = ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, nullptr);
  const DWORD code = GetLastError();
  if (!read) {
    *error = "cannot read (" + ErrorCodeText(code) + ")";
    return false;
  }
  if (got != bytes->size()) {
    *error = "cannot read (short read)";
    return false;
  }
  return true;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string* error) {
  std::string directory;
  if (!DirectoryOf(path, &directory, error)) return false;
  char temporary[MAX_PATH];
  if (!GetTempFileNameA(directory.c_str(), "pkt", 0, temporary)) {
    const DWORD code = GetLastError();
    *error = "cannot make a temporary file in " + directory + " (" + ErrorCodeText(code) + ")";
    return false;
  }
  bool written = WriteTemporary(temporary, bytes, error);
  if (written &&
      !MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    *error = "cannot replace " + path + " (" + ErrorCodeText(code) + ")";
    written = false;
  }
  if (!written) DeleteFileA(temporary);
  return written;
}
