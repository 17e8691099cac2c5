// platform/ascii.h: the text helpers that look at ASCII only -- letter case, digits, blanks --
// for the names, tags and titles that formats spell in ASCII (vCard property names and tags,
// CSV column titles, encoding names). Only the 26 letters A-Z and a-z change case; every other
// byte, UTF-8 ones included, is left as it is. None of them asks the process's locale, which an
// application sets to its user's: <cctype>'s tolower() under Turkish rules does not lower 'I'
// to 'i'. Pure and constexpr; any thread.
#pragma once
#include <algorithm>
#include <string>
#include <string_view>

namespace xr {

// c in lower case if it is an ASCII capital, else c itself.
constexpr char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// c in upper case if it is an ASCII small letter, else c itself.
constexpr char asciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether c is one of '0' to '9'.
constexpr bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Whether c is one of the ASCII letters A-Z and a-z.
constexpr bool isAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether a and b are the same character but for the case of ASCII letters.
constexpr bool equalsIgnoringCase(char a, char b) {
  // Most bytes compared are equal already: vCard names and parameters come in capitals.
  return a == b || asciiLower(a) == asciiLower(b);
}

// Whether a and b are the same text but for the case of ASCII letters.
constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return equalsIgnoringCase(x, y);
         });
}

// Whether text begins with prefix but for the case of ASCII letters; false when prefix is the
// longer.
constexpr bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Whether text ends with suffix but for the case of ASCII letters; false when suffix is the
// longer.
constexpr bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// Whether word occurs anywhere in text but for the case of ASCII letters; the empty word
// occurs in every text.
constexpr bool containsIgnoringCase(std::string_view text, std::string_view word) {
  return word.empty() ||
         std::search(text.begin(), text.end(), word.begin(), word.end(),
                     [](char x, char y) { return equalsIgnoringCase(x, y); }) != text.end();
}

// A copy of text with its ASCII capitals lowered.
inline std::string toLowerCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = asciiLower(c);
  return out;
}

// A copy of text with its ASCII small letters raised.
inline std::string toUpperCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = asciiUpper(c);
  return out;
}

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
