// platform/file_system_posix.cpp: rename(2) replaces its target atomically.
#include <cerrno>
#include <cstdio>

#include "xrfoundation/platform/file_system.h"

namespace xr {

std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return {errno, std::generic_category()};
  return {};
}

}  // namespace xr
