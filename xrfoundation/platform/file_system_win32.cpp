// platform/file_system_win32.cpp: the file system of Windows.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "xrfoundation/platform/file_system.h"

namespace xr {

// MoveFileExW with MOVEFILE_REPLACE_EXISTING replaces an existing target in one step on NTFS
// (the C run-time's rename refuses an existing one). WRITE_THROUGH: it returns once the move
// is on disk.
std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!::MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return {static_cast<int>(::GetLastError()), std::system_category()};
  }
  return {};
}

// The C run-time's fopen knows no "x" mode and reads narrow names in the ANSI code page; _wopen
// with _O_EXCL does both.
std::FILE* createNewFile(const std::filesystem::path& path) {
  const int fd = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                          _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = ::_fdopen(fd, "wb");
  if (!file) ::_close(fd);
  return file;
}

// tmpfile() of the C run-time makes its file in the root of the current drive, where a user
// may not write; this one uses the user's temporary folder, and _O_TEMPORARY removes the file
// when it is closed.
std::FILE* createTemporaryFile() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return nullptr;
  if (::GetTempFileNameW(folder, L"xrf", 0, name) == 0) return nullptr;  // creates it, empty
  const int fd = ::_wopen(name, _O_RDWR | _O_BINARY | _O_TEMPORARY | _O_NOINHERIT);
  if (fd < 0) {
    ::DeleteFileW(name);
    return nullptr;
  }
  std::FILE* file = ::_fdopen(fd, "w+b");
  if (!file) ::_close(fd);
  return file;
}

std::optional<std::string> runningProgramPath() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return std::nullopt;
    if (length < name.size()) return pathToUtf8(std::filesystem::path(name.substr(0, length)));
    name.resize(name.size() * 2);  // cut short: a longer name
  }
}

void useBinaryStandardStreams() {
  ::_setmode(::_fileno(stdin), _O_BINARY);
  ::_setmode(::_fileno(stdout), _O_BINARY);
}

}  // namespace xr
