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

// Every byte value, and the alphabet decoded and encoded again, pin the two tables against
// each other.
TEST(Base64Test, CoversTheWholeAlphabetInOneUnbrokenLine) {
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  const std::string encoded = *base64Encoding(all);
  EXPECT_EQ(encoded.size(), 344u);
  EXPECT_EQ(encoded.substr(0, 8), "AAECAwQF");
  EXPECT_EQ(encoded.substr(336), "/P3+/w==");
  EXPECT_EQ(dataWithBase64EncodedString(encoded), all);
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto bytes = dataWithBase64EncodedString(alphabet);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(base64Encoding(*bytes), alphabet);
}

// Every layout of one text decodes to its bytes: padding optional or surplus, '=' and white
// space skipped anywhere, the text ending at NUL.
TEST(Base64Test, IsLenientAboutLayout) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"ABC", {"QUJD", "QU=JD", "=QUJD", "QU JD", " Q\tU\nJ\vD\f\r", std::string("QUJD\0!!", 7)}},
      {"A", {"QQ", "QQ=", "QQ==", "QQ==="}},
      {"foobar", {"Zm9v\r\nYmFy", "Zm9vYmFy\r\n"}},
      {"ABCD", {"QUJDRA"}},
      {"", {"", " \r\n\t=="}}};
  for (const auto& [plain, texts] : cases) {
    for (const std::string& text : texts) {
      EXPECT_EQ(dataWithBase64EncodedString(text), toBytes(plain)) << "input: \"" << text << "\"";
    }
  }
}

TEST(Base64Test, RejectsContentOutsideTheAlphabet) {
  // A lone final character, URL-safe and other punctuation, bytes beyond ASCII (after NUL too).
  const std::string cases[] = {
      "Q",    "QUJDR", "QUJDR===", "QU-D",        "QU_D",
      "QUJ!", "QU.D",  "QUJD\xFF", "QUJ\xC3\xA9", std::string("QUJD\0\xC3\xA9", 7)};
  for (const auto& text : cases) {
    EXPECT_EQ(dataWithBase64EncodedString(text), std::nullopt) << "input: \"" << text << "\"";
  }
  EXPECT_EQ(dataWithBase64EncodedString(std::nullopt), std::nullopt);
  // At any position of a long text, so that no fast path skips the check.
  std::mt19937 random(7);
  const std::string good = *base64Encoding(randomBytes(random, 300));
  for (std::size_t at = 0; at < good.size(); ++at) {
    std::string bad = good;
    bad[at] = (at % 2) ? '-' : '\x80';
    EXPECT_EQ(dataWithBase64EncodedString(bad), std::nullopt) << "bad character at " << at;
  }
}

TEST(Base64Test, RoundTripsRandomBytesThroughRandomLayout) {
  std::mt19937 random(1234);
  const char layout[] = {' ', '\t', '\n', '\v', '\f', '\r', '='};
  for (std::size_t round = 0; round < 400; ++round) {  // every short length, then longer ones
    const std::vector<uint8_t> bytes = randomBytes(random, round < 200 ? round : random() % 2000);
    const std::string text = *base64Encoding(bytes);
    EXPECT_EQ(text.size(), (bytes.size() + 2) / 3 * 4) << "round " << round;
    EXPECT_EQ(dataWithBase64EncodedString(text), bytes) << "round " << round;
    std::string spaced;
    for (char c : text) {
      while (random() % 9 == 0) spaced.push_back(layout[random() % sizeof layout]);
      spaced.push_back(c);
    }
    EXPECT_EQ(dataWithBase64EncodedString(spaced), bytes) << "round " << round;
  }
}

}  // namespace
}  // namespace xr
