// platform/file_descriptor_posix.cpp: file descriptors on POSIX systems.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "xrfoundation/platform/file_descriptor_internal.h"

namespace xr::file_descriptor {

int openForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  // The readers go through a file once from start to end; let the kernel read ahead. The
  // advice is optional in POSIX (macOS has none), and only a hint.
#if defined(POSIX_FADV_SEQUENTIAL)
  if (fd >= 0) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return fd;
}

std::int64_t readSome(int fd, void* buffer, std::size_t length) {
  ssize_t n;
  do {
    n = ::read(fd, buffer, length);
  } while (n < 0 && errno == EINTR);
  return n;
}

void close(int fd) { ::close(fd); }

}  // namespace xr::file_descriptor
