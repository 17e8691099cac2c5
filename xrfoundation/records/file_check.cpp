#include "xrfoundation/records/file_check.h"

#include "xrfoundation/platform/file_system.h"

namespace xr {

// The application's name for the platform's question, answered in one place.
bool fileExistAtPath(std::string_view path) { return pathExists(path); }

}  // namespace xr
