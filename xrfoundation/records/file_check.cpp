#include "xrfoundation/records/file_check.h"

#include "xrfoundation/platform/file_system.h"

namespace xr {

bool fileExistAtPath(std::string_view path) { return pathExists(path); }

}  // namespace xr
