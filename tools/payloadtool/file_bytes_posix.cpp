// Whole-file reading and writing for the native build, on POSIX files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "file_bytes.h"

namespace {
struct FileCloser {
  int fd;
  ~FileCloser() { close(fd); }
};

std::string Reason(int code) { return std::strerror(code); }

bool WriteAll(int fd, const std::string& bytes, std::string* error) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t put = write(fd, bytes.data() + written, bytes.size() - written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      *error = "cannot write (" + Reason(put < 0 ? errno : ENOSPC) + ")";
      return false;
    }
    written += static_cast<size_t>(put);
  }
  // On disk before the name points at it.
  if (fsync(fd) != 0) {
    *error = "cannot write (" + Reason(errno) + ")";
    return false;
  }
  return true;
}
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

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string* error) {
  const size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
  std::string temporary = directory + ".pktXXXXXX";
  const int fd = mkstemp(&temporary[0]);
  if (fd < 0) {
    *error = "cannot make a temporary file in " + directory + " (" + Reason(errno) + ")";
    return false;
  }
  bool written = false;
  {
    FileCloser closer{fd};
    // A program, with the permissions a linker gives its output.
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0777 & ~mask) != 0)
      *error = temporary + ": cannot set its permissions (" + Reason(errno) + ")";
    else if (!WriteAll(fd, bytes, error))
      *error = temporary + ": " + *error;
    else
      written = true;
  }
  if (written && rename(temporary.c_str(), path.c_str()) != 0) {
    *error = "cannot replace " + path + " (" + Reason(errno) + ")";
    written = false;
  }
  if (!written) unlink(temporary.c_str());
  return written;
}
