// platform/file_descriptor_win32.cpp: file descriptors of the Windows C run-time, opened by
// the UTF-16 form of the name (the narrow _open would read it in the ANSI code page).
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <climits>

#include "xrfoundation/platform/file_descriptor_internal.h"
#include "xrfoundation/platform/file_system.h"

namespace xr::file_descriptor {

int openForReading(const std::string& path) {
  return ::_wopen(pathFromUtf8(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT | _O_SEQUENTIAL);
}

std::int64_t readSome(int fd, void* buffer, std::size_t length) {
  // _read takes an unsigned int count.
  return ::_read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(length, INT_MAX)));
}

void close(int fd) { ::_close(fd); }

}  // namespace xr::file_descriptor
