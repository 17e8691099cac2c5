// platform/file_descriptor_internal.h: a file opened for reading as a C run-time descriptor,
// the one file operation that differs between POSIX (open/read) and Windows (_wopen/_read on
// a UTF-16 name). Paths are UTF-8; failures leave errno set, so messages read the same on
// both. Stateless; any thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace xr::file_descriptor {

// A descriptor for reading the file at path (UTF-8), not inherited by child processes, or -1.
int openForReading(const std::string& path);
// Bytes read into buffer (at most length), 0 at the end, -1 on error; retries on EINTR.
std::int64_t readSome(int fd, void* buffer, std::size_t length);
void close(int fd);

}  // namespace xr::file_descriptor
