#include "xrfoundation/platform/file_system.h"

#include <filesystem>
#include <system_error>

namespace xr {

bool pathExists(std::string_view path) {
  if (path.empty()) return false;
  std::error_code error;  // any failure to examine the path means "not there" to the caller
  return std::filesystem::exists(std::filesystem::path(path), error) && !error;
}

}  // namespace xr
