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

std::optional<std::string> runningProgramPath() {
#if defined(__linux__)
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !self.is_absolute()) return std::nullopt;
  return self.string();
#else
  // Each system answers this its own way (_NSGetExecutablePath() on macOS); until one is
  // written here, callers get no answer.
  return std::nullopt;
#endif
}

void useBinaryStandardStreams() {}

}  // namespace xr
