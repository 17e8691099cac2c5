#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "xrfoundation/platform/utf8_internal.h"

namespace xr::utf8 {
namespace {

TEST(Utf8Test, ValidatesStrictlyAndRepairsMaximalSubparts) {
  const std::string r(kReplacementCharacter);
  const std::tuple<const char*, std::string, bool, std::string> cases[] = {
      {"empty", "", true, ""},
      {"ASCII longer than a word", "0123456789abcdef!", true, "0123456789abcdef!"},
      {"two, three, four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", true,
       "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"Latin-1 byte", "caf\xE9!", false, "caf" + r + "!"},
      {"overlong two bytes", "\xC0\xAF", false, r + r},
      {"overlong three bytes", "\xE0\x80\xAF", false, r + r + r},
      {"surrogate", "\xED\xA0\x80", false, r + r + r},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false, r + r + r + r},
      {"truncated three bytes is one subpart", "\xE2\x82x", false, r + "x"},
      {"truncated at the end", "ab\xF0\x9F\x98", false, "ab" + r},
      {"lone continuation", "a\x80\x62", false, "a" + r + "b"},
      {"0xFF bytes", "\xFF\xFE", false, r + r}};
  for (const auto& [name, bytes, valid, repaired] : cases) {
    EXPECT_EQ(isValid(bytes), valid) << name;
    std::string out = "<";  // appends after what is there
    appendRepaired(out, bytes);
    EXPECT_EQ(out, "<" + repaired) << name;
  }
}

TEST(Utf8Test, CountsUtf16Units) {
  EXPECT_EQ(utf16Length(""), 0u);
  EXPECT_EQ(utf16Length("abcdefghij"), 10u);
  EXPECT_EQ(utf16Length("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80xyz0123456"), 14u);
}

TEST(Utf8Test, WhitespaceIsTabAndSpaceSeparators) {
  // Tab, no-break space, Ogham, en quad, hair, narrow no-break, medium math, ideographic.
  const std::string white[] = {"\t",           "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80",
                               "\xE2\x80\x8A", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80"};
  // Line breaks, inverted exclamation, zero-width space, a truncated ideographic space, a
  // letter, the line separator.
  const std::string other[] = {"\n",       "\r", "\xC2\xA1",    "\xE2\x80\x8B",
                               "\xE3\x80", "x",  "\xE2\x80\xA8"};
  for (const std::string& text : white) {
    EXPECT_EQ(whitespaceLength(text.data(), text.data() + text.size()), text.size())
        << ::testing::PrintToString(text);
  }
  for (const std::string& text : other) {
    EXPECT_EQ(whitespaceLength(text.data(), text.data() + text.size()), 0u)
        << ::testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace xr::utf8
