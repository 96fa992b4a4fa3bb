// ReadFileBytes for the native build, on POSIX files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file_bytes.h"

namespace {
struct FileCloser {
  int fd;
  ~FileCloser() { close(fd); }
};

std::string Reason(int code) { return std::strerror(code); }
}  // namespace

bool ReadFileBytes(const std::string& path, std::string* bytes, std::string* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int code = errno;
    if (code == ENOENT || code == ENOTDIR)
      *error = "no such file";
    else
      *error = "cannot open (" + Reason(code) + ")";
    return false;
  }
  FileCloser closer{fd};
  struct stat info;
  if (fstat(fd, &info) != 0) {
    *error = "cannot read its size (" + Reason(errno) + ")";
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = "not a file";
    return false;
  }
  // Resources live in a 32-bit image: anything near 2 GiB cannot be packed.
  if (info.st_size > 0x70000000) {
    *error = "too large";
    return false;
  }
  bytes->assign(static_cast<size_t>(info.st_size), '\0');
  size_t got = 0;
  while (got < bytes->size()) {
    const ssize_t read_now = read(fd, &(*bytes)[got], bytes->size() - got);
    if (read_now < 0 && errno == EINTR) continue;
    if (read_now < 0) {
      *error = "cannot read (" + Reason(errno) + ")";
      return false;
    }
    if (read_now == 0) break;
    got += static_cast<size_t>(read_now);
  }
  if (got != bytes->size()) {
    *error = "cannot read (short read)";
    return false;
  }
  return true;
}
