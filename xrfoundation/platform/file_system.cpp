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

}  // namespace xr
