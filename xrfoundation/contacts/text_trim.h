// contacts/text_trim.h: a text without the blanks and line ends around it, as the CSV import,
// the vCard reader and the tool compare and print values. Pure; any thread.
#pragma once
#include <string_view>

namespace xr {

// text without leading and trailing spaces, tabs, CRs and LFs; a view into text. Other white
// space (a no-break space, a vertical tab) is kept: it is part of the value.
constexpr std::string_view trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return text.substr(text.size());
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace xr
