// Encoding detection and lenient decoding: every legacy sample (converted by iconv) detected
// and decoded to its text, marks and UTF-16 without one, names, and undecodable bytes
// replaced and reported with their lines.
#include "xrfoundation/platform/text_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "xrfoundation/platform/testing/encoded_samples.h"
#include "xrfoundation/platform/testing/turkish_locales.h"

namespace xr {
namespace {

std::string decodeAll(std::string_view encoding, std::string_view bytes, std::size_t block,
                      DecodeDamage* damage = nullptr) {
  auto decoder = TextDecoder::create(encoding);
  EXPECT_TRUE(decoder) << encoding;
  if (!decoder) return {};
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += block) {
    decoder->decode(bytes.substr(at, block), out);
  }
  decoder->decode({}, out, true);
  if (damage) *damage = decoder->damage();
  return out;
}

TEST(TextEncodingTest, DetectsAndDecodesEveryLegacySample) {
  for (const testing::EncodedSample& sample : testing::encodedSamples()) {
    const DetectedEncoding found = detectEncoding(sample.bytes, true);
    EXPECT_EQ(found.basis, EncodingBasis::Guessed) << sample.encoding;
    if (sample.encoding == "ISO-8859-2") {
      // The one sample the detector mistakes: a caller that can check the text (the contacts
      // reader's header) or the user's option sets it right.
      EXPECT_EQ(found.name, "Windows-1250");
      continue;
    }
    // A close encoding that gives the same text is as good a guess.
    EXPECT_EQ(decodeAll(found.name, sample.bytes, 4096), sample.utf8)
        << sample.encoding << " guessed as " << found.name;
    // Told the encoding, blocks cut inside characters change nothing.
    for (const std::size_t block : {1, 3, 4096}) {
      DecodeDamage damage;
      EXPECT_EQ(decodeAll(sample.encoding, sample.bytes, block, &damage), sample.utf8)
          << sample.encoding << " in blocks of " << block;
      EXPECT_EQ(damage.count, 0u) << sample.encoding;
    }
  }
}

TEST(TextEncodingTest, TellsMarksUtf16ByItsZeroBytesAndUtf8) {
  // Bytes, then the encoding found: name, basis, mark length, ASCII only.
  const std::tuple<std::string, std::string, EncodingBasis, std::size_t, bool> cases[] = {
      {"\xEF\xBB\xBFName", "UTF-8", EncodingBasis::ByteOrderMark, 3, false},
      {std::string("\xFF\xFEN\0", 4), "UTF-16LE", EncodingBasis::ByteOrderMark, 2, false},
      {std::string("\xFE\xFF\0N", 4), "UTF-16BE", EncodingBasis::ByteOrderMark, 2, false},
      {std::string("\xFF\xFE\0\0N\0\0\0", 8), "UTF-32LE", EncodingBasis::ByteOrderMark, 4, false},
      {std::string("\0\0\xFE\xFF\0\0\0N", 8), "UTF-32BE", EncodingBasis::ByteOrderMark, 4, false},
      {std::string("N\0a\0m\0e\0,\0\x16\x04", 12), "UTF-16LE", EncodingBasis::ZeroBytes, 0, false},
      {std::string("\0N\0a\0m\0e\0,\x04\x16", 12), "UTF-16BE", EncodingBasis::ZeroBytes, 0, false},
      {"Name,Phone\n", "UTF-8", EncodingBasis::Utf8, 0, true},
      {"Name,\xC3\x89lodie\n", "UTF-8", EncodingBasis::Utf8, 0, false},
      // A block cut inside a character is still UTF-8.
      {"Name,\xC3\x89lodie\xE2\x82", "UTF-8", EncodingBasis::Utf8, 0, false},
      // UTF-8 with one stray byte among many characters stays UTF-8.
      {"\xC3\x89\xC3\xA9\xC3\xA8\xC3\xAA\xC3\xAB\xC3\xA0 \xE9", "UTF-8", EncodingBasis::Utf8, 0,
       false},
  };
  for (const auto& [bytes, name, basis, mark, asciiOnly] : cases) {
    const DetectedEncoding found = detectEncoding(bytes, false);
    EXPECT_EQ(found.name, name) << bytes;
    EXPECT_EQ(found.basis, basis) << bytes;
    EXPECT_EQ(found.markLength, mark) << bytes;
    EXPECT_EQ(found.asciiOnly, asciiOnly) << bytes;
  }
  // Cut for good at the end of the whole text, it is not.
  EXPECT_EQ(detectEncoding("Name,caf\xE9 cr\xE8me\n", true).basis, EncodingBasis::Guessed);
}

constexpr std::pair<const char*, const char*> kNames[] = {
    {"cp1252", "Windows-1252"},
    {"WINDOWS-1252", "Windows-1252"},
    {"windows-1254", "Windows-1254"},
    {"latin1", "ISO-8859-1"},
    {"iso_8859-15", "ISO-8859-15"},
    {"sjis", "Shift_JIS"},
    {"gbk", "GB18030"},
    {"koi8r", "KOI8-R"},
    {"utf8", "UTF-8"},
};

TEST(TextEncodingTest, NamesEncodingsAsTheUserWritesThem) {
  for (const auto& [given, display] : kNames) {
    EXPECT_EQ(encodingDisplayName(given), display) << given;
    EXPECT_TRUE(TextDecoder::create(given)) << given;
  }
  EXPECT_EQ(encodingDisplayName("no-such-encoding"), std::nullopt);
  EXPECT_FALSE(TextDecoder::create("no-such-encoding"));
}

// An application runs in its user's locale. Under Turkish rules the C library's toupper() leaves
// 'i' (or makes it a dotted capital), which must not turn "windows-1254" or "latin1" into
// unknown names.
TEST(TextEncodingTest, NamesEncodingsTheSameUnderTheTurkishLocale) {
  const int ran = testing::underTurkishLocales([](const char* locale) {
    for (const auto& [given, display] : kNames) {
      EXPECT_EQ(encodingDisplayName(given), std::string(display)) << given << " under " << locale;
    }
  });
  if (ran == 0) GTEST_SKIP() << "no Turkish locale here (scripts/setup.sh makes one)";
}

TEST(TextEncodingTest, ReplacesUndecodableBytesAndKeepsTheirLines) {
  // Encoding, bytes, text, lines.
  const std::tuple<const char*, std::string, std::string, std::vector<std::uint64_t>> cases[] = {
      // 0x81 is no Windows-1252 character; CR LF and a lone CR end one line each.
      {"Windows-1252",
       "a\r\nb\rc\x81\nd\x81\x81\n",
       "a\r\nb\rc\xEF\xBF\xBD\nd\xEF\xBF\xBD\xEF\xBF\xBD\n",
       {3, 4}},
      // A Shift_JIS lead byte before a line end, and one cut short by the end of the input.
      {"Shift_JIS", "\x93\x8C\n\x82\n\x93", "\xE6\x9D\xB1\n\xEF\xBF\xBD\n\xEF\xBF\xBD", {2, 3}},
      // UTF-8 whole and cut by the blocks; the old six-byte form and a code point above
      // U+10FFFF, which iconv's UTF-8 passes on; a sequence cut short by the end.
      {"UTF-8",
       "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n\xFC\xAE\xAE\n\xF4\x90\x80\x80\n\xE2\x82",
       "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n" + std::string(3 * 3, '\0') + "\n" +
           std::string(4 * 3, '\0') + "\n" + std::string(3, '\0'),
       {2, 3, 4}},
      // A lone surrogate in UTF-16.
      {"UTF-16LE", std::string("a\0\n\0\x3D\xD8\x62\0", 8), std::string("a\n\0\0\0b", 6), {2}},
  };
  for (auto [encoding, bytes, text, lines] : cases) {
    // U+FFFD written as three NULs above, for brevity.
    for (std::size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at))
      text.replace(at, 3, "\xEF\xBF\xBD");
    for (const std::size_t block : {1, 2, 64}) {
      DecodeDamage damage;
      EXPECT_EQ(decodeAll(encoding, bytes, block, &damage), text) << encoding << block;
      EXPECT_EQ(damage.lines, lines) << encoding << " in blocks of " << block;
      EXPECT_EQ(damage.count, std::count(text.begin(), text.end(), '\xBD')) << encoding;
    }
  }
}

TEST(TextEncodingTest, KeepsOnlyTheFirstLinesOfDamage) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += "x\x81\n";
  DecodeDamage damage;
  decodeAll("cp1252", bytes, 100, &damage);
  EXPECT_EQ(damage.count, 1000u);
  ASSERT_EQ(damage.lines.size(), DecodeDamage::kMaxLines);
  EXPECT_EQ(damage.lines.front(), 1u);
  EXPECT_EQ(damage.lines.back(), DecodeDamage::kMaxLines);
}

}  // namespace
}  // namespace xr
