// platform/byte_search_internal.h: the first place of a byte in a run of bytes, the search the
// line, vCard and CSV readers make for every line feed, colon and quote, and of a line end.
// The C library's memchr serves on POSIX systems (glibc's is vectorized). The msvcrt that
// MinGW-w64 programs call compares one byte at a time, at least as Wine implements it, which
// made the readers about three times slower there; on Windows the search looks at sixteen
// bytes per step instead. Stateless; any thread.
#pragma once
#include <cstddef>
#include <cstring>

namespace xr {

// The first byte equal to byte in [first, first + length), or nullptr; first may be null when
// length is 0.
// Sixteen bytes per step with SSE2 (every x86-64 has it), one at a time elsewhere; reads
// nothing outside the range.
const char* findByteBlockwise(const char* first, std::size_t length, char byte) noexcept;

// The first CR or LF in [first, first + length), or nullptr: where a line ends. Sixteen bytes
// per step with SSE2, one at a time elsewhere; reads nothing outside the range. A vCard line is
// a few dozen bytes: one pass for both bytes beats a memchr() call for each.
const char* findLineEnd(const char* first, std::size_t length) noexcept;

inline const char* findByte(const char* first, std::size_t length, char byte) noexcept {
#if defined(_WIN32)
  return findByteBlockwise(first, length, byte);
#else
  if (length == 0) return nullptr;  // first may then be null, which memchr does not allow
  return static_cast<const char*>(std::memchr(first, static_cast<unsigned char>(byte), length));
#endif
}

}  // namespace xr
