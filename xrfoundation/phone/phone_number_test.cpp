#include "xrfoundation/phone/phone_number.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "xrfoundation/phone/phone_number_internal.h"

namespace xr {
namespace {

struct Pair {
  const char* a;  // nullptr: absent text
  const char* b;
  bool equal;
};

std::string show(const char* text) {
  return text != nullptr ? "'" + std::string(text) + "'" : "absent";
}

// Both orders: the comparison treats its two sides alike.
void expectPairs(const std::vector<Pair>& pairs) {
  for (const Pair& p : pairs) {
    EXPECT_EQ(phone_number_compare_strict(p.a, p.b), p.equal) << show(p.a) << " vs " << show(p.b);
    EXPECT_EQ(phone_number_compare_strict(p.b, p.a), p.equal) << show(p.b) << " vs " << show(p.a);
  }
}

// The 45 reference pairs are checked through the self-test (phone_number_selftest_test).

TEST(PhoneNumberTest, CountryCodesTrunkDigitsAndPrefixes) {
  expectPairs({
      {"+7 495 123 4567", "8 495 123 4567", true},  // one-digit code
      {"+81 3 1234 5678", "03-1234-5678", true},    // two-digit code
      {"+593 2 123 4567", "02 123 4567", true},     // three-digit code
      {"+8862 1234", "011 886 2 1234", true},
      {"0044 20 1234", "+44 20 1234", true},
      {"011 44 20 1234", "+44 20 1234", true},
      {"+44 20 1234", "+33 20 1234", false},
      {"+44 20 1234", "020 1234", true},
      {"+44 (0) 20 1234", "020 1234", true},
      {"+44 20 1234", "44 20 1234", false},
      {"+819012345678", "19012345678", true},  // the trunk digit may be any digit
      // A '0' ends code recognition: "+20" is no code, so the '+' stays unmatched.
      {"+20 2 1234567", "+2021234567", true},
      {"+20 2 1234567", "2 1234567", false},
      {"123", "1123", true},
      {"123", "0123", false},
      {"+1 650", "1 1 650", false},
      {"1-800-FLOWERS", "+1 800 FLOWERS", true},
  });
}

TEST(PhoneNumberTest, Prefix166CountsOnlyWhereItMatches) {
  expectPairs({
      {"1 66 1234", "+66 1234", true},
      {"16 6 1234", "+66 1234", false},
      {"16610001234", "6610001234", true},  // taken back on the retry
  });
  // Without the allowance "166" is a plain local number.
  EXPECT_FALSE(phone_number_compare_inter("+66811234567", "166811234567", false));
  EXPECT_TRUE(phone_number_compare_inter("16610001234", "6610001234", false));
}

TEST(PhoneNumberTest, LettersAndDialableSymbolsMatchExactly) {
  expectPairs({
      {"1-800-FLOWERS", "1-800-flowers", false},
      {"abc", "ABC", false},
      {"#123", "123", false},
      {"123#", "123", false},
      {"*123", "*123", true},
      {"", "123", false},
      {"+", "", false},
      {"+", "+", true},
  });
}

TEST(PhoneNumberTest, SeparatorsOfEveryKindArePassedOver) {
  expectPairs({
      {"(650) 253-0000", "650.253.0000", true},
      {"650/253/0000", "6502530000", true},
      {"555-1234", "5551234;", true},
      {"555-1234,1", "5551234,2", false},
      {"\t650\r\n253\x01"
       "0000",
       "6502530000", true},
      {"650\xC2\xA0"
       "253\xFF"
       "0000",
       "6502530000", true},
  });
}

TEST(PhoneNumberTest, SeparatorsBeforeTheMatchOnTheTrunkSideAreIgnored) {
  expectPairs({
      {"020 12345", "+442012345", true},
      {"0 20 12345", "+442012345", true},
      {"0-90-1234-5678", "+819012345678", true},
      {"0 - (90) 1234 5678", "+81 90 1234 5678", true},
      // Anything but a separator left there still makes the numbers different.
      {"0a 20 12345", "+442012345", false},
      {"0# 20 12345", "+442012345", false},
      {"00 20 12345", "+442012345", false},
  });
}

TEST(PhoneNumberTest, CountryCallingCodeRecognition) {
  struct Case {
    const char* text;
    bool accept166;
    int32_t code;
    int32_t pos;  // -1: the outputs stay untouched
    size_t len;
  };
  const Case cases[] = {
      {"+1 650", true, 1, 2, 4},       {"+1", false, 1, 2, 0},
      {"+44 20", true, 44, 3, 3},      {"0044 20", true, 44, 4, 3},
      {"+886 2", true, 886, 4, 2},     {"011 886 2", true, 886, 7, 2},
      {"+999 1", true, 999, 4, 2},     {"001", true, 1, 3, 0},
      {"0111", true, 1, 4, 0},         {"ab+7 x", true, 7, 4, 2},
      {"1 66 1234", true, 66, 4, 5},   {"166", true, 66, 3, 0},
      {"1 66 1234", false, -1, -1, 0}, {"16 6 1234", true, -1, -1, 0},
      {"+20 2", true, -1, -1, 0},      {"+0", true, -1, -1, 0},
      {"+#1", true, -1, -1, 0},        {"*+1", true, -1, -1, 0},
      {"02", true, -1, -1, 0},         {"012", true, -1, -1, 0},
      {"123", true, -1, -1, 0},        {"+", true, -1, -1, 0},
      {"", true, -1, -1, 0},
  };
  for (const Case& c : cases) {
    const size_t length = std::strlen(c.text);
    int32_t pos = -1;
    size_t len = length;
    EXPECT_EQ(tryGetCountryCallingCode(c.text, length, &pos, &len, c.accept166), c.code)
        << "'" << c.text << "' accept166=" << c.accept166;
    EXPECT_EQ(pos, c.pos) << c.text;
    EXPECT_EQ(len, c.pos < 0 ? length : c.len) << c.text;
    EXPECT_EQ(tryGetCountryCallingCode(c.text, length, nullptr, nullptr, c.accept166), c.code);
  }
}

TEST(PhoneNumberTest, TrunkDigitIsTheFirstDigitBeforeAnyOtherDialable) {
  struct Case {
    const char* text;
    int32_t pos;  // -1: the outputs stay untouched
    size_t len;
  };
  const Case cases[] = {{"0 20", 1, 3}, {"  (0)20", 4, 3}, {"90", 1, 1},   {"x7", 2, 0},
                        {"#0", -1, 0},  {"a+1", -1, 0},    {"abc", -1, 0}, {"", -1, 0}};
  for (const Case& c : cases) {
    const size_t length = std::strlen(c.text);
    int32_t pos = -1;
    size_t len = length;
    tryGetTrunkPrefixOmittedStr(c.text, length, &pos, &len);
    EXPECT_EQ(pos, c.pos) << c.text;
    EXPECT_EQ(len, c.pos < 0 ? length : c.len) << c.text;
  }
}

TEST(PhoneNumberTest, IgnorablePrefixHoldsAtMostOneDigit) {
  struct Case {
    const char* text;
    int32_t pos;
    bool ignorable;
  };
  const Case cases[] = {{"123", -1, true},  {"0", 0, true},  {" (0) ", 4, true},
                        {"ab1cd", 4, true}, {"9+", 0, true}, {"00", 1, false},
                        {"1 2", 2, false},  {"#", 0, false}, {"+1", 1, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(checkPrefixIsIgnorable(c.text, c.pos), c.ignorable) << c.text << " at " << c.pos;
  }
}

TEST(PhoneNumberTest, SeparatorIsEverythingButDialablesAndAsciiLetters) {
  for (char ch : std::string("0123456789#*+aAzZN")) EXPECT_FALSE(isSeparator(ch)) << ch;
  // '@' '[' '`' '{' border the letter ranges.
  for (char ch : std::string(" -.()/,;\n\x7f\x80\xff@[`{", 17)) {
    EXPECT_TRUE(isSeparator(ch)) << static_cast<int>(static_cast<unsigned char>(ch));
  }
  EXPECT_TRUE(isSeparator('\0'));
  EXPECT_EQ(
      std::count(two_length_country_code_map.begin(), two_length_country_code_map.end(), true), 43);
}

// The output buffer is exactly capacity bytes on the heap, so a write past it is caught under
// AddressSanitizer.
std::string reversed(const char* input, int32_t capacity, int32_t* count) {
  auto buffer = std::make_unique<char[]>(static_cast<size_t>(std::max(capacity, 0)));
  EXPECT_TRUE(phone_number_stripped_reversed_inter(input, buffer.get(), capacity, count));
  return std::string(buffer.get(), static_cast<size_t>(std::max(*count, 0)));
}

TEST(PhoneNumberTest, ReversedDialableForm) {
  struct Case {
    const char* input;
    int32_t capacity;
    const char* expected;
  };
  const Case cases[] = {
      {"+1 (650) 253-0000", 20, "00003520561+"},
      {"555-1234,567", 20, "4321555"},
      {"1-800-FLOWERS", 20, "0081"},
      {"650-253-0000", 4, "0000"},
      {"+1+2", 20, "2+1"},
      {"1N2#*", 20, "*#2N1"},
      {"12;34", 20, "21"},
      // The '+' after the pause is dropped, and still counts as the one '+' taken.
      {"+1;+2", 20, "1"},
      {"9,12345", 2, "9"},
      {"12345", 2, "54"},
      {"123", 0, ""},
      {"123", -5, ""},
      {"", 20, ""},
  };
  for (const Case& c : cases) {
    int32_t count = -1;
    EXPECT_EQ(reversed(c.input, c.capacity, &count), c.expected) << c.input << " / " << c.capacity;
    EXPECT_EQ(count, static_cast<int32_t>(std::strlen(c.expected))) << c.input;
  }
  int32_t count = -1;
  EXPECT_EQ(reversed(nullptr, 4, &count), "");
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(phone_number_stripped_reversed_inter("123", nullptr, 4, &count));
  EXPECT_EQ(count, 0);
}

TEST(PhoneNumberTest, CompareStrictRemovesParenthesesAndTakesAbsentAsEmpty) {
  EXPECT_TRUE(compareStrict("1(6)6 1234", "+66 1234"));
  EXPECT_FALSE(phone_number_compare_strict("1(6)6 1234", "+66 1234"));
  EXPECT_TRUE(compareStrict("(650) 253-0000", std::optional<std::string>("+1 650 253 0000")));
  EXPECT_TRUE(compareStrict("", std::nullopt));
  EXPECT_FALSE(compareStrict("123", std::optional<std::string>()));
  EXPECT_FALSE(compareStrict("+", std::nullopt));
  EXPECT_TRUE(compareStrict(std::string_view("123\0 9", 6), "123"));  // ends at the NUL
}

// Random texts made of the bytes the comparison cares about, each in a heap block of exactly
// its size, so that AddressSanitizer reports any read before or after it.
class RandomText {
 public:
  explicit RandomText(std::mt19937& rng) {
    static const std::string kPool = std::string(" -.()/,;\t\n\x01") + "0123456789" +
                                     "0011166+++#*" + "aZNx" + "\x80\xA0\xC2\xFF";
    std::uniform_int_distribution<size_t> length(0, 24);
    std::uniform_int_distribution<size_t> pick(0, kPool.size() - 1);
    size_ = length(rng);
    bytes_ = std::make_unique<char[]>(size_ + 1);
    for (size_t i = 0; i < size_; ++i) bytes_[i] = kPool[pick(rng)];
    bytes_[size_] = '\0';
    // The step routines take a length and must not need the NUL: give them a copy without it.
    unterminated_ = std::make_unique<char[]>(size_);
    std::memcpy(unterminated_.get(), bytes_.get(), size_);
  }
  const char* c_str() const { return bytes_.get(); }
  const char* unterminated() const { return unterminated_.get(); }
  size_t size() const { return size_; }

 private:
  size_t size_;
  std::unique_ptr<char[]> bytes_;
  std::unique_ptr<char[]> unterminated_;
};

TEST(PhoneNumberTest, RandomTextsAreReadInPlaceAndCompareReflexivelyAndSymmetrically) {
  std::mt19937 rng(20240604);
  std::uniform_int_distribution<int32_t> capacity(-1, 30);
  for (int round = 0; round < 20000; ++round) {
    const RandomText a(rng);
    const RandomText b(rng);
    // Both sides run the same steps on the same bytes, so a text always equals itself.
    ASSERT_TRUE(phone_number_compare_strict(a.c_str(), a.c_str())) << a.c_str();
    ASSERT_TRUE(compareStrict(a.c_str(), a.c_str())) << a.c_str();
    const bool ab = phone_number_compare_strict(a.c_str(), b.c_str());
    ASSERT_EQ(ab, phone_number_compare_strict(b.c_str(), a.c_str()))
        << "'" << a.c_str() << "' vs '" << b.c_str() << "'";
    ASSERT_EQ(phone_number_compare_strict(a.c_str(), nullptr),
              phone_number_compare_strict(a.c_str(), ""));
    for (bool accept166 : {true, false}) {
      int32_t pos = -1;
      size_t len = a.size();
      const int32_t code =
          tryGetCountryCallingCode(a.unterminated(), a.size(), &pos, &len, accept166);
      ASSERT_TRUE(code == -1 || (code >= 1 && code <= 999)) << code;
      if (code >= 0) {
        ASSERT_EQ(static_cast<size_t>(pos) + len, a.size());
      }
    }
    int32_t pos = -1;
    size_t len = a.size();
    tryGetTrunkPrefixOmittedStr(a.unterminated(), a.size(), &pos, &len);
    ASSERT_TRUE(pos == -1 || static_cast<size_t>(pos) + len == a.size());
    (void)checkPrefixIsIgnorable(a.unterminated(), static_cast<int32_t>(a.size()) - 1);

    // A smaller capacity only cuts the form short.
    int32_t fullCount = 0;
    const std::string full = reversed(a.c_str(), static_cast<int32_t>(a.size()), &fullCount);
    const int32_t cap = capacity(rng);
    int32_t count = 0;
    const std::string cut = reversed(a.c_str(), cap, &count);
    ASSERT_EQ(cut, full.substr(0, static_cast<size_t>(std::max(cap, 0)))) << a.c_str();
    ASSERT_LE(std::count(full.begin(), full.end(), '+'), 1) << a.c_str();
    ASSERT_EQ(full.find_first_not_of("0123456789#*+N"), std::string::npos) << a.c_str();
  }
}

}  // namespace
}  // namespace xr
