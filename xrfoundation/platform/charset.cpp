// platform/charset.cpp: what every platform's charset code shares (charset_posix.cpp over
// iconv, charset_win32.cpp over the Win32 code pages).
#include "xrfoundation/platform/charset.h"

#include "xrfoundation/platform/utf8_internal.h"

namespace xr {

bool isValidUtf8(std::string_view text) { return utf8::isValid(text); }

}  // namespace xr
