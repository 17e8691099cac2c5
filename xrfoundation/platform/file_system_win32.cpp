// platform/file_system_win32.cpp: MoveFileExW with MOVEFILE_REPLACE_EXISTING replaces an
// existing target in one step on NTFS (std::rename of the C run-time refuses an existing one).
// WRITE_THROUGH: the call returns once the move is on disk.
#include <windows.h>

#include "xrfoundation/platform/file_system.h"

namespace xr {

std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!::MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return {static_cast<int>(::GetLastError()), std::system_category()};
  }
  return {};
}

}  // namespace xr
