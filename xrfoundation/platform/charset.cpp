// platform/charset.cpp: what every platform's charset code shares (charset_posix.cpp over
// iconv, charset_win32.cpp over the Win32 code pages).
#include "xrfoundation/platform/charset.h"

#include <utility>

#include "xrfoundation/platform/utf8_internal.h"

namespace xr {

std::optional<ByteOrderMark> byteOrderMarkOf(std::string_view start) {
  static constexpr std::pair<std::string_view, std::string_view> kMarks[] = {
      // UTF-32LE before UTF-16LE, whose mark is the first half of it.
      {std::string_view("\xFF\xFE\0\0", 4), "UTF-32LE"},
      {std::string_view("\0\0\xFE\xFF", 4), "UTF-32BE"},
      {"\xEF\xBB\xBF", "UTF-8"},
      {"\xFF\xFE", "UTF-16LE"},
      {"\xFE\xFF", "UTF-16BE"},
  };
  for (const auto& [mark, encoding] : kMarks) {
    if (start.substr(0, mark.size()) == mark) return ByteOrderMark{encoding, mark.size()};
  }
  return std::nullopt;
}

bool isValidUtf8(std::string_view text) { return utf8::isValid(text); }

void CharsetConverter::replaced(std::string& out) {
  replacements_.push_back(out.size());
  out.append(utf8::kReplacementCharacter);
}

void CharsetConverter::finish(std::string& out) {
  replacements_.clear();
  if (pending_.empty()) return;
  pending_.clear();
  replaced(out);
}

}  // namespace xr
