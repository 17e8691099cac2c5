// platform/file_system_posix.cpp: the file system of POSIX systems.
#include <cerrno>
#include <cstdio>

#include "xrfoundation/platform/file_system.h"

namespace xr {

// rename(2) replaces its target atomically.
std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return {errno, std::generic_category()};
  return {};
}

std::FILE* createNewFile(const std::filesystem::path& path) {
  return std::fopen(path.c_str(), "wbx");  // x: fail when the file exists
}

std::FILE* createTemporaryFile() { return std::tmpfile(); }

std::optional<std::filesystem::path> runningProgramPath() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return self;
}

void useBinaryStandardStreams() {}

}  // namespace xr
