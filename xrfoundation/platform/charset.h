// platform/charset.h: text in the charsets that old phones and address books write
// (ISO-8859-x, Windows code pages, SHIFT_JIS, GB2312, Big5, UTF-16...), converted to the
// library's UTF-8, through the C library's iconv. Any thread may call these at any time.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "xrfoundation/export.h"

namespace xr {

// bytes, encoded in the charset named by charset (any name iconv knows, letter case free:
// "ISO-8859-1", "Shift_JIS", "CP932", "utf-16le"), as UTF-8; none when the charset is unknown
// or the bytes are not valid in it.
XR_EXPORT std::optional<std::string> convertToUtf8(std::string_view bytes,
                                                   std::string_view charset);

// True when text is well-formed UTF-8 (no overlong forms, surrogates or code points beyond
// U+10FFFF).
XR_EXPORT bool isValidUtf8(std::string_view text);

}  // namespace xr
