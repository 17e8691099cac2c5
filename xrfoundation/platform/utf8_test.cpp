#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <utility>

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
      {"lone continuation", "a\x80\x62", false, "a" + r + "b"}};
  for (const auto& [name, bytes, valid, repaired] : cases) {
    EXPECT_EQ(isValid(bytes), valid) << name;
    std::string out = "<";  // appends after what is there
    appendRepaired(out, bytes);
    EXPECT_EQ(out, "<" + repaired) << name;
  }
}

TEST(Utf8Test, DecodesWhatItValidatesAndEncodesItBack) {
  const std::pair<std::string, char32_t> chars[] = {{"A", U'A'},
                                                    {"\x7F", 0x7F},
                                                    {"\xC2\x80", 0x80},
                                                    {"\xDF\xBF", 0x7FF},
                                                    {"\xE0\xA0\x80", 0x800},
                                                    {"\xEF\xBF\xBF", 0xFFFF},
                                                    {"\xF0\x90\x80\x80", 0x10000},
                                                    {"\xF4\x8F\xBF\xBF", 0x10FFFF}};
  for (const auto& [bytes, code] : chars) {
    char32_t decoded = 0;
    EXPECT_EQ(decode(bytes + "x", &decoded), bytes.size())
        << std::hex << static_cast<unsigned>(code);
    EXPECT_EQ(decoded, code);
    std::string encoded = "<";
    appendEncoded(encoded, code);
    EXPECT_EQ(encoded, "<" + bytes) << std::hex << static_cast<unsigned>(code);
  }
  char32_t decoded = 0;
  EXPECT_EQ(decode("\xED\xA0\x80", &decoded), 0u) << "what the validator refuses";
}

// The word-at-a-time scanners, with the byte that stops them at every place of a word.
TEST(Utf8Test, ScannersStopAtTheFirstByteThatMatters) {
  std::string printable;
  for (char c = 0x20; c != '\x80'; ++c) printable += c;
  EXPECT_EQ(asciiTextPrefix(printable), printable.size());
  for (size_t at = 0; at < 20; ++at) {
    for (char stop : {'\t', '\n', '\x1F', '\xC3'}) {
      std::string text(20, ' ');
      text[at] = stop;
      EXPECT_EQ(asciiTextPrefix(text), at) << ::testing::PrintToString(text);
    }
    std::string text(20, 'x');
    EXPECT_EQ(findAnyByte(text.data(), text.data() + 20, '<', '&', ']'), nullptr);
    for (char markup : {'<', '&', ']'}) {
      text[at] = markup;
      text[19] = '<';  // a later match must not win
      EXPECT_EQ(findAnyByte(text.data(), text.data() + 20, '<', '&', ']'), text.data() + at);
      text.assign(20, 'x');
    }
  }
}

// Long runs go several words a step: the first byte that is not ASCII stops the run wherever it
// stands in a step, and the validator still finds an invalid byte there.
TEST(Utf8Test, LongAsciiRunsStopAtTheirFirstOtherByte) {
  for (std::size_t at = 0; at < 70; ++at) {
    std::string text(70, 'a');
    text[at] = '\xC3';
    EXPECT_EQ(asciiPrefix(text), at) << "at " << at;
    text[at] = '\xFF';
    EXPECT_FALSE(isValid(text)) << "at " << at;
  }
  EXPECT_EQ(asciiPrefix(std::string(70, 'a')), 70u);
}

TEST(Utf8Test, CountsUtf16Units) {
  EXPECT_EQ(utf16Length(""), 0u);
  EXPECT_EQ(utf16Length("abcdefghij"), 10u);
  EXPECT_EQ(utf16Length("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80xyz0123456"), 14u);
}

TEST(Utf8Test, WhitespaceIsTabAndSpaceSeparators) {
  // Tab, no-break space, Ogham, en quad, hair, narrow no-break, medium math, ideographic are
  // white space, whole; line breaks, inverted exclamation, zero-width space, a truncated
  // ideographic space, a letter and the line separator are none.
  const std::pair<std::string, bool> rows[] = {
      {"\t", true},           {"\xC2\xA0", true},     {"\xE1\x9A\x80", true},
      {"\xE2\x80\x80", true}, {"\xE2\x80\x8A", true}, {"\xE2\x80\xAF", true},
      {"\xE2\x81\x9F", true}, {"\xE3\x80\x80", true}, {"\n", false},
      {"\r", false},          {"\xC2\xA1", false},    {"\xE2\x80\x8B", false},
      {"\xE3\x80", false},    {"x", false},           {"\xE2\x80\xA8", false}};
  for (const auto& [text, white] : rows) {
    EXPECT_EQ(whitespaceLength(text.data(), text.data() + text.size()), white ? text.size() : 0)
        << ::testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace xr::utf8
