// The ASCII helpers: only the 26 letters change case, whatever the byte values around them and
// whatever the process's locale; trimmed() drops blanks and line ends at both ends only.
#include "xrfoundation/platform/ascii.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "xrfoundation/platform/testing/turkish_locales.h"

namespace xr {
namespace {

// Pairs of bytes that differ only in the bit 0x20, as 'A' and 'a' do, but are no letters: a fold
// that sets or clears that bit without looking at the byte calls them equal. The last are
// Latin-1's capital and small e acute.
constexpr const char* kCaseBitTwins[][2] = {
    {"@", "`"}, {"[", "{"}, {"\\", "|"}, {"]", "}"}, {"^", "~"}, {"\x1F", "?"}, {"\xC9", "\xE9"},
};

// Text, word, and whether they are equal, the text starts with, ends with and contains the word.
constexpr std::tuple<const char*, const char*, bool, bool, bool, bool> kMatches[] = {
    {"", "", true, true, true, true},
    {"x", "", false, true, true, true},
    {"", "x", false, false, false, false},
    {"BEGIN:VCARD", "begin:vCard", true, true, true, true},
    {"sep=;", "SEP=", false, true, false, true},
    {"se", "sep=", false, false, false, false},  // the word is longer than the text
    {"NOTE:End", "END", false, false, true, true},
    {"TYPE=quoted-printable;X", "QUOTED-PRINTABLE", false, false, false, true},
    {"ab", "abc", false, false, false, false},
    // Turkish dotted capital I and dotless small i are UTF-8, not letters to fold.
    {"\xC4\xB0SDN", "iSDN", false, false, false, false},
    {"\xC4\xB1sdn", "Isdn", false, false, false, false},
    {"\xC4\xB0", "\xC4\xB0", true, true, true, true},
    {"caf\xC3\x89", "CAF\xC3\xA9", false, false, false, false},  // É and é differ
    {"caf\xC3\x89", "CAF\xC3\x89", true, true, true, true},
};

TEST(AsciiTest, OnlyTheTwentySixLettersChangeCase) {
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    const bool capital = byte >= 'A' && byte <= 'Z';
    const bool small = byte >= 'a' && byte <= 'z';
    EXPECT_EQ(asciiLower(c), capital ? static_cast<char>(byte + 32) : c) << "byte " << byte;
    EXPECT_EQ(asciiUpper(c), small ? static_cast<char>(byte - 32) : c) << "byte " << byte;
    EXPECT_EQ(isAsciiAlpha(c), capital || small) << "byte " << byte;
    EXPECT_EQ(isAsciiDigit(c), byte >= '0' && byte <= '9') << "byte " << byte;
  }
  for (const auto& twin : kCaseBitTwins) {
    EXPECT_FALSE(equalsIgnoringCase(twin[0], twin[1])) << twin[0] << " vs " << twin[1];
    EXPECT_FALSE(containsIgnoringCase(twin[0], twin[1])) << twin[0] << " vs " << twin[1];
  }
}

TEST(AsciiTest, MatchesIgnoreTheCaseOfAsciiLettersOnly) {
  for (const auto& [text, word, equals, startsWith, endsWith, contains] : kMatches) {
    SCOPED_TRACE(std::string("text '") + text + "', word '" + word + "'");
    EXPECT_EQ(equalsIgnoringCase(text, word), equals);
    EXPECT_EQ(equalsIgnoringCase(word, text), equals);
    EXPECT_EQ(startsWithIgnoringCase(text, word), startsWith);
    EXPECT_EQ(endsWithIgnoringCase(text, word), endsWith);
    EXPECT_EQ(containsIgnoringCase(text, word), contains);
  }
  static_assert(equalsIgnoringCase("Vcard", "vCARD") && !equalsIgnoringCase("vcard", "vcards"));
}

TEST(AsciiTest, CopiesChangeAsciiLettersAndKeepEveryOtherByte) {
  const std::string mixed = "\xC3\x9Cn\xC3\xAF Code \xC4\xB0SO-8859-9 \xC4\xB1\xFF";
  EXPECT_EQ(toLowerCopy(mixed), "\xC3\x9Cn\xC3\xAF code \xC4\xB0so-8859-9 \xC4\xB1\xFF");
  EXPECT_EQ(toUpperCopy(mixed), "\xC3\x9CN\xC3\xAF CODE \xC4\xB0SO-8859-9 \xC4\xB1\xFF");
  EXPECT_EQ(toLowerCopy(""), "");
}

// Under Turkish rules the C library lowers "I" to a dotless "ı" (or, in a UTF-8 locale, leaves
// it), and raises "i" to "İ"; the helpers keep to ASCII whatever the process's locale.
TEST(AsciiTest, TheTurkishLocaleChangesNothing) {
  const int ran = testing::underTurkishLocales([](const char* locale) {
    EXPECT_EQ(toLowerCopy("WINDOWS-1254 INITIALS"), "windows-1254 initials") << locale;
    EXPECT_EQ(toUpperCopy("iso-8859-9 initials"), "ISO-8859-9 INITIALS") << locale;
    EXPECT_TRUE(equalsIgnoringCase("IM", "im")) << locale;
    EXPECT_TRUE(startsWithIgnoringCase("ISDN Phone", "isdn")) << locale;
  });
  if (ran == 0) GTEST_SKIP() << "no Turkish locale here (scripts/setup.sh makes one)";
}

constexpr std::pair<const char*, const char*> kTrims[] = {
    {"", ""},
    {" \t\r\n", ""},
    {"a", "a"},
    {"\r\n  Ann Lee \t", "Ann Lee"},
    {"two\nlines\n", "two\nlines"},
    {"\v x \v", "\v x \v"},                            // a vertical tab is no blank
    {"\xC2\xA0nbsp\xC2\xA0", "\xC2\xA0nbsp\xC2\xA0"},  // nor is a no-break space
};

TEST(AsciiTest, TrimmedDropsBlanksAndLineEndsAtBothEndsOnly) {
  for (const auto& [text, expected] : kTrims) EXPECT_EQ(trimmed(text), expected) << text;
  static_assert(trimmed("  x ") == "x");
}

}  // namespace
}  // namespace xr
