// contacts/base64_test.cpp
#include "xrfoundation/contacts/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace xr {
namespace {

std::vector<uint8_t> toBytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> randomBytes(std::mt19937& random, std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

struct Vector {
  const char* plain;
  const char* encoded;
};
constexpr Vector kRfc4648[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

TEST(Base64Test, EncodesRfc4648Vectors) {
  for (const Vector& v : kRfc4648) {
    EXPECT_EQ(base64Encoding(toBytes(v.plain)), v.encoded) << "input: " << v.plain;
  }
  EXPECT_EQ(base64Encoding(toBytes("abc")), "YWJj");
  EXPECT_EQ(base64Encoding(toBytes("a")), "YQ==");
  EXPECT_EQ(base64Encoding(toBytes("ab")), "YWI=");
}

TEST(Base64Test, DecodesRfc4648Vectors) {
  for (const Vector& v : kRfc4648) {
    EXPECT_EQ(dataWithBase64EncodedString(v.encoded), toBytes(v.plain)) << "input: " << v.encoded;
  }
}

TEST(Base64Test, EncodesEveryByteValueInOneUnbrokenLine) {
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  const std::string encoded = *base64Encoding(all);
  EXPECT_EQ(encoded.size(), 344u);
  EXPECT_EQ(encoded.find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
            std::string::npos);
  EXPECT_EQ(encoded.substr(0, 8), "AAECAwQF");
  EXPECT_EQ(encoded.substr(336), "/P3+/w==");
  EXPECT_EQ(dataWithBase64EncodedString(encoded), all);
  EXPECT_EQ(base64Encoding(std::vector<uint8_t>(57, 'x'))->size(), 76u);
}

TEST(Base64Test, DecodesTheWholeAlphabet) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto bytes = dataWithBase64EncodedString(alphabet);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(base64Encoding(*bytes), alphabet);
}

TEST(Base64Test, IsLenientAboutLayout) {
  const struct {
    const char* text;
    const char* plain;
  } cases[] = {
      {"QUJD", "ABC"},
      {"QUJDRA", "ABCD"},  // no padding required
      {"QQ", "A"},
      {"QQ=", "A"},
      {"QQ==", "A"},
      {"QQ===", "A"},
      {"QU=JD", "ABC"},  // '=' in the middle is skipped
      {"=QUJD", "ABC"},
      {"QU JD", "ABC"},
      {" Q\tU\nJ\vD\f\r", "ABC"},
      {"Zm9v\r\nYmFy", "foobar"},
      {"Zm9vYmFy\r\n", "foobar"},
      {"", ""},
      {" \r\n\t==", ""},
      {"QUJD\0ignored!", "ABC"},  // the text ends at NUL
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dataWithBase64EncodedString(c.text), toBytes(c.plain))
        << "input: \"" << c.text << "\"";
  }
  const std::string withNul("QUJD\0!!", 7);
  EXPECT_EQ(dataWithBase64EncodedString(withNul), toBytes("ABC"));
}

TEST(Base64Test, RejectsContentOutsideTheAlphabet) {
  const std::string nonAsciiAfterNul("QUJD\0\xC3\xA9", 7);
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"single character", "Q"},
      {"single character after groups", "QUJDR"},
      {"single character before padding", "QUJDR==="},
      {"url-safe minus", "QU-D"},
      {"url-safe underscore", "QU_D"},
      {"exclamation mark", "QUJ!"},
      {"non-ASCII letter", "QUJ\xC3\xA9"},
      {"non-ASCII after NUL", nonAsciiAfterNul},
      {"dot", "QU.D"},
      {"high byte", "QUJD\xFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dataWithBase64EncodedString(c.text), std::nullopt) << c.what;
  }
  EXPECT_EQ(dataWithBase64EncodedString(std::nullopt), std::nullopt);
}

TEST(Base64Test, RejectsABadCharacterAtAnyPositionOfALongText) {
  std::mt19937 random(7);
  const std::string good = *base64Encoding(randomBytes(random, 300));
  for (std::size_t at = 0; at < good.size(); ++at) {
    std::string bad = good;
    bad[at] = (at % 2) ? '-' : '\x80';
    EXPECT_EQ(dataWithBase64EncodedString(bad), std::nullopt) << "bad character at " << at;
  }
}

TEST(Base64Test, RoundTripsRandomBytesOfEveryShortLength) {
  std::mt19937 random(42);
  for (std::size_t size = 0; size < 200; ++size) {
    const std::vector<uint8_t> bytes = randomBytes(random, size);
    const std::string text = *base64Encoding(bytes);
    EXPECT_EQ(text.size(), (size + 2) / 3 * 4) << "size " << size;
    EXPECT_EQ(dataWithBase64EncodedString(text), bytes) << "size " << size;
  }
}

TEST(Base64Test, RoundTripsThroughRandomLayout) {
  std::mt19937 random(1234);
  const char layout[] = {' ', '\t', '\n', '\v', '\f', '\r', '='};
  for (int round = 0; round < 200; ++round) {
    const std::vector<uint8_t> bytes = randomBytes(random, random() % 2000);
    const std::string text = *base64Encoding(bytes);
    std::string spaced;
    for (char c : text) {
      while (random() % 9 == 0) spaced.push_back(layout[random() % sizeof layout]);
      spaced.push_back(c);
    }
    EXPECT_EQ(dataWithBase64EncodedString(spaced), bytes) << "round " << round;
  }
}

TEST(Base64Test, DecodesMimeWrappedText) {
  std::mt19937 random(99);
  const std::vector<uint8_t> bytes = randomBytes(random, 100000);
  const std::string text = *base64Encoding(bytes);
  std::string wrapped;
  for (std::size_t at = 0; at < text.size(); at += 76) wrapped += text.substr(at, 76) + "\r\n";
  EXPECT_EQ(dataWithBase64EncodedString(wrapped), bytes);
}

}  // namespace
}  // namespace xr
