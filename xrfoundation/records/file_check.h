// records/file_check.h: whether a path exists on the computer's own file system, for the
// application's file transfers. Stateless; callable from any thread.
#pragma once
#include <string_view>

#include "xrfoundation/export.h"

namespace xr {

// True for an existing file or directory. A symbolic link counts by what it points to (a
// dangling one gives false); an empty path, one holding a NUL byte, or one that cannot be
// examined (a missing directory on the way, no permission to search one), gives false.
// Reports no error.
XR_EXPORT bool fileExistAtPath(std::string_view path);

}  // namespace xr
