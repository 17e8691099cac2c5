#include "xrfoundation/platform/file_system.h"

#include <filesystem>
#include <system_error>

namespace xr {

bool pathExists(std::string_view path) {
  // The system reads a path up to its first NUL, so it would answer for a shorter path; a
  // path holding one names nothing.
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  std::error_code error;  // any failure to examine the path means "not there" to the caller
  return std::filesystem::exists(std::filesystem::path(path), error) && !error;
}

std::optional<std::string> runningProgramPath() {
#if defined(__linux__)
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !self.is_absolute()) return std::nullopt;
  return self.string();
#else
  // Each system answers this its own way (_NSGetExecutablePath() on macOS,
  // GetModuleFileNameW() on Windows); until one is written here, callers get no answer.
  return std::nullopt;
#endif
}

}  // namespace xr
