#include "file_bytes.h"

#include <windows.h>

#include "base/unique_handle.h"

std::string ErrorCodeText(unsigned long code) { return "error " + std::to_string(code); }

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
  // Resources live in a 32-bit image: anything near 2 GiB cannot be packed.
  if (size.QuadPart > 0x70000000) {
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
