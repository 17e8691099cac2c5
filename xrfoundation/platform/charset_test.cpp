// CharsetConverter: text in blocks cut anywhere, unknown encodings and invalid input.
#include "xrfoundation/platform/charset.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

namespace xr {
namespace {

// "Ñandú 日本 😀" in each encoding, and its UTF-8.
const std::string kUtf8 =
    "\xC3\x91"
    "and\xC3\xBA \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
const std::string kUtf16LE = std::string(
    "\xD1\x00"
    "a\x00n\x00"
    "d\x00\xFA\x00 \x00\xE5\x65\x2C\x67 \x00\x3D\xD8\x00\xDE",
    22);

TEST(CharsetTest, ConvertsBlocksCutInsideCharacters) {
  for (std::size_t block = 1; block <= kUtf16LE.size(); ++block) {
    auto converter = CharsetConverter::toUtf8("UTF-16LE");
    ASSERT_TRUE(converter);
    std::string out;
    for (std::size_t at = 0; at < kUtf16LE.size(); at += block) {
      ASSERT_TRUE(converter->convert(std::string_view(kUtf16LE).substr(at, block), out));
    }
    EXPECT_FALSE(converter->hasPendingBytes()) << "blocks of " << block;
    EXPECT_EQ(out, kUtf8) << "blocks of " << block;
  }
}

TEST(CharsetTest, GrowsItsOutputAndStaysRefusedAfterBadBytes) {
  // A windows-1252 0x80 is a three-byte euro sign: more than the room first guessed.
  std::string euros;
  for (int i = 0; i < 5000; ++i) euros += "\xE2\x82\xAC";
  EXPECT_EQ(convertToUtf8(std::string(5000, '\x80'), "CP1252"), euros);
  // One block that makes more UTF-8 than one step of the converter writes.
  std::string utf16, utf8;
  for (int i = 0; i < 10000; ++i) utf16 += "\xE5\x65", utf8 += "\xE6\x97\xA5";  // 日
  auto converter = CharsetConverter::toUtf8("UTF-16LE");
  ASSERT_TRUE(converter);
  std::string out;
  ASSERT_TRUE(converter->convert(utf16, out));
  EXPECT_EQ(out, utf8);
  // A lone surrogate is no text; what follows it is not converted either.
  EXPECT_FALSE(converter->convert(std::string("\x3D\xD8z\x00", 4), out));
  EXPECT_FALSE(converter->convert(std::string("z\x00", 2), out));
  EXPECT_EQ(out, utf8);
}

TEST(CharsetTest, TellsByteOrderMarksApart) {
  // The start of a text, the encoding its mark names (null: no mark) and the mark's length.
  const std::tuple<std::string, const char*, std::size_t> rows[] = {
      {"\xEF\xBB\xBFx", "UTF-8", 3},
      {"\xFF\xFEx", "UTF-16LE", 2},
      {"\xFE\xFF", "UTF-16BE", 2},
      {std::string("\xFF\xFE\0\0", 4), "UTF-32LE", 4},
      {std::string("\0\0\xFE\xFF", 4), "UTF-32BE", 4},
      {"\xEF\xBB", nullptr, 0},  // cut short
      {"", nullptr, 0},
  };
  for (const auto& [start, encoding, length] : rows) {
    const auto mark = byteOrderMarkOf(start);
    ASSERT_EQ(mark.has_value(), encoding != nullptr) << ::testing::PrintToString(start);
    if (!mark) continue;
    EXPECT_EQ(mark->encoding, encoding);
    EXPECT_EQ(mark->length, length) << encoding;
  }
}

// The encodings that address books write, each converting the same way on every platform
// (iconv on Linux, code pages and our own UTF-16 decoder on Windows).
// Encoding, bytes and their UTF-8 (none: refused).
const std::tuple<const char*, std::string, std::optional<std::string>> kConversions[] = {
    {"SHIFT_JIS", "\x83\x65\x83\x58\x83\x67 \xB1",
     "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 \xEF\xBD\xB1"},
    {"SHIFT_JIS", "\x93", std::nullopt},  // a lead byte with no trail byte
    {"ISO-8859-1", "\x80\xFF", "\xC2\x80\xC3\xBF"},
    {"WINDOWS-1252", "\x80\x9F\xE9", "\xE2\x82\xAC\xC5\xB8\xC3\xA9"},
    {"WINDOWS-1252", "a\x81", std::nullopt},  // one of the five bytes 1252 leaves undefined
    {"UTF-16", std::string("\xFF\xFE\xE9\x00", 4), "\xC3\xA9"},  // BOM: little-endian
    {"UTF-16", std::string("\xFE\xFF\x00\xE9", 4), "\xC3\xA9"},
    {"UTF-16", std::string("\x00\xE9", 2), "\xC3\xA9"},  // no BOM: big-endian
    {"UTF-16BE", std::string("\xD8\x3D\xDE\x00", 4), "\xF0\x9F\x98\x80"},
    {"UTF-16LE", std::string("\xFF\xFEz\x00", 4), "\xEF\xBB\xBFz"},  // BOM kept
    {"UTF-16LE", std::string("\x00\xDC", 2), std::nullopt},          // a lone low surrogate
    {"UTF-16LE", std::string("\x3D\xD8z\x00", 4), std::nullopt},     // a lone high surrogate
    {"UTF-16LE", std::string("\x3D\xD8\x00", 3), std::nullopt},      // cut short in a pair
    {"NO-SUCH-ENCODING", "z", std::nullopt},
};

TEST(CharsetTest, ConvertsTheEncodingsOfAddressBooks) {
  for (const auto& [encoding, bytes, utf8] : kConversions) {
    EXPECT_EQ(convertToUtf8(bytes, encoding), utf8) << encoding << " " << bytes;
  }
  EXPECT_EQ(CharsetConverter::toUtf8("NO-SUCH-ENCODING"), nullptr);
}

TEST(CharsetTest, KeepsADoubleByteCharacterCutBetweenBlocks) {
  auto converter = CharsetConverter::toUtf8("SHIFT_JIS");
  ASSERT_TRUE(converter);
  std::string out;
  ASSERT_TRUE(converter->convert("a\x93", out));
  EXPECT_TRUE(converter->hasPendingBytes());
  ASSERT_TRUE(converter->convert("\xFA", out));
  EXPECT_FALSE(converter->hasPendingBytes());
  EXPECT_EQ(out, "a\xE6\x97\xA5");
}

}  // namespace
}  // namespace xr
