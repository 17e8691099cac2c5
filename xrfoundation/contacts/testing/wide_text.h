// contacts/testing/wide_text.h: ASCII text as UTF-16 or UTF-32 bytes, for the tests of the
// contacts imports that must read more than UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xr::testing {

// Each character as a unit of width bytes (2 or 4), little- or big-endian; no byte order mark.
inline std::string wide(std::string_view ascii, std::size_t width, bool bigEndian) {
  std::string out;
  for (const char c : ascii) {
    std::string unit(width, '\0');
    unit[bigEndian ? width - 1 : 0] = c;
    out += unit;
  }
  return out;
}

// UTF-16LE after its byte order mark.
// Appended, not "text" + std::string&&: g++ 12 at -O3 warns wrongly about that.
inline std::string utf16le(std::string_view ascii) {
  std::string out = "\xFF\xFE";
  return out += wide(ascii, 2, false);
}

}  // namespace xr::testing
