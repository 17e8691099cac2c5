// platform/file_system.h: the questions the library asks of the computer's own file system.
// Stateless; callable from any thread.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "xrfoundation/export.h"

namespace xr {

// True when something (a file, a directory, ...) exists at path. A symbolic link counts by
// what it points to, so a dangling link gives false; so do an empty path, a path holding a NUL
// byte and a path that cannot be examined (a missing directory on the way, no permission to
// search one). records/file_check.h's fileExistAtPath() is the same question.
XR_EXPORT bool pathExists(std::string_view path);

// The absolute path of the running program's file, symbolic links resolved; nullopt where the
// system cannot tell (it has no way this library knows, or the file has gone).
XR_EXPORT std::optional<std::string> runningProgramPath();

}  // namespace xr
