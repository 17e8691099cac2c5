#include "xrfoundation/records/file_check.h"

#include "xrfoundation/platform/file_system.h"

namespace xr {

bool fileExistAtPath(std::string_view path) {
  // The system reads a path up to its first NUL, so it would answer for a shorter path; a
  // path holding one names nothing.
  if (path.find('\0') != std::string_view::npos) return false;
  return pathExists(path);
}

}  // namespace xr
