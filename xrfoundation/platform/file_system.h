// platform/file_system.h: the questions the library asks of the computer's own file system,
// and the one way it turns a file name (UTF-8 everywhere in the library's interface) into a
// path: on Windows the narrow std::filesystem::path constructor would read the name in the
// ANSI code page instead. Stateless; callable from any thread.
#pragma once
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "xrfoundation/export.h"

namespace xr {

// The path a UTF-8 file name names, and back. On POSIX systems both keep the bytes.
XR_EXPORT std::filesystem::path pathFromUtf8(std::string_view name);
XR_EXPORT std::string pathToUtf8(const std::filesystem::path& path);

// True when something (a file, a directory, ...) exists at path. A symbolic link counts by
// what it points to, so a dangling link gives false; so do an empty path, a path holding a NUL
// byte and a path that cannot be examined (a missing directory on the way, no permission to
// search one). records/file_check.h's fileExistAtPath() is the same question.
XR_EXPORT bool pathExists(std::string_view path);

// The absolute path of the running program's file, symbolic links resolved; nullopt where the
// system cannot tell (it has no way this library knows, or the file has gone).
XR_EXPORT std::optional<std::string> runningProgramPath();

// Puts the file from in place of to in one step: a reader of to sees the old file or the new
// one, never a part. to may exist (it is replaced); both are on the same volume. The error
// when it fails (from is then untouched).
XR_EXPORT std::error_code replaceFile(const std::filesystem::path& from,
                                      const std::filesystem::path& to);

// A new file at path opened for writing bytes, only if nothing is there yet; nullptr otherwise
// (errno EEXIST when something is). The caller closes it with fclose.
XR_EXPORT std::FILE* createNewFile(const std::filesystem::path& path);

// An anonymous file for reading and writing bytes in the system's temporary folder, removed
// when closed (fclose) or when the process ends; nullptr when none can be made.
XR_EXPORT std::FILE* createTemporaryFile();

// Makes standard input and output carry bytes unchanged, for a program whose "-" is a file: on
// Windows they are text streams that turn "\n" into "\r\n" and stop reading at Ctrl-Z. POSIX
// streams are always binary. Call before the first read or write.
XR_EXPORT void useBinaryStandardStreams();

}  // namespace xr
