// fuzz/utf8_check.h: an independent UTF-8 validity check and UTF-16 length for the CSV
// targets' oracles (the library's own helpers are what is under test).
#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

namespace xr::fuzz {

// UTF-16 code units of text, or none when it is not valid UTF-8 (overlong forms, surrogates
// and values past U+10FFFF included).
inline std::optional<std::size_t> utf16LengthOfValid(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t value = 0;
    if (lead < 0x80) {
      length = 1, value = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, value = lead & 0x07;
    } else {
      return std::nullopt;
    }
    if (i + length > text.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      value = value << 6 | (next & 0x3F);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) ||
        (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
      return std::nullopt;
    }
    units += value >= 0x10000 ? 2 : 1;
    i += length;
  }
  return units;
}

}  // namespace xr::fuzz
