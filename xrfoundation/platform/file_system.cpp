// platform/file_system.cpp: what every platform shares; what differs is in
// file_system_posix.cpp and file_system_win32.cpp.
#include "xrfoundation/platform/file_system.h"

namespace xr {

std::filesystem::path pathFromUtf8(std::string_view name) {
  // char8_t text is UTF-8 by type, which std::filesystem converts to the native form.
  return std::filesystem::path(
      std::u8string_view(reinterpret_cast<const char8_t*>(name.data()), name.size()));
}

std::string pathToUtf8(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(reinterpret_cast<const char*>(name.data()), name.size());
}

bool pathExists(std::string_view path) {
  // The system reads a path up to its first NUL, so it would answer for a shorter path; a
  // path holding one names nothing.
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  std::error_code error;  // any failure to examine the path means "not there" to the caller
  return std::filesystem::exists(pathFromUtf8(path), error) && !error;
}

}  // namespace xr
