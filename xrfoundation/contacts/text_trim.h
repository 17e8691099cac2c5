// contacts/text_trim.h: a text without the blanks and line ends around it, as the CSV import,
// the vCard reader and the tool compare and print values. Pure; any thread.
#pragma once
#include <string_view>

namespace xr {

// text without leading and trailing spaces, tabs, CRs and LFs; a view into text. Other white
// space (a no-break space, a vertical tab) is kept: it is part of the value.
constexpr std::string_view trimmed(std::string_view text) {
  // A plain loop: find_first_not_of() asks the set about every character, which the vCard
  // import feels on every value.
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && isBlank(text[first])) ++first;
  while (last > first && isBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace xr
