#include "xrfoundation/phone/phone_number.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "xrfoundation/phone/phone_number_internal.h"

namespace xr {
namespace {

// The tables' rows read "left SEP right"; this cuts one at its first SEP.
std::pair<std::string, std::string> split(std::string_view row, std::string_view sep) {
  const size_t at = row.find(sep);
  return {std::string(row.substr(0, at)), std::string(row.substr(at + sep.size()))};
}

// The 45 reference pairs are checked through the self-test (phone_number_selftest_test).
TEST(PhoneNumberTest, ComparesInBothOrders) {
  const std::string_view rows[] = {
      // Country calling codes of one, two and three digits after "+", "00" or "011"; the trunk
      // digit (any digit) on the side without a code.
      "+7 495 123 4567 == 8 495 123 4567", "+81 3 1234 5678 == 03-1234-5678",
      "+593 2 123 4567 == 02 123 4567", "+8862 1234 == 011 886 2 1234",
      "0044 20 1234 == +44 20 1234", "+44 20 1234 != +33 20 1234", "+44 (0) 20 1234 == 020 1234",
      "+44 20 1234 != 44 20 1234", "+819012345678 == 19012345678", "+1 650 != 1 1 650",
      "123 == 1123", "123 != 0123",
      // A '0' ends the code: "+20" is none, and its '+' must be matched.
      "+20 2 1234567 == +2021234567", "+20 2 1234567 != 2 1234567",
      // "166" may stand for code 66, and is taken back when that reading fails.
      "1 66 1234 == +66 1234", "16 6 1234 != +66 1234", "16610001234 == 6610001234",
      // Letters and '#', '*', '+' match exactly; ';' and ',' are mere separators here.
      "1-800-FLOWERS == +1 800 FLOWERS", "1-800-FLOWERS != 1-800-flowers", "#123 != 123",
      "123# != 123", "*123 == *123", "+ != ", "+ == +", "555-1234 == 5551234;",
      "555-1234,1 != 5551234,2", "(650) 253-0000 == 650.253.0000",
      "\t650\r\n253\x01/0000 == 6502530000", "650\xC2\xA0 253\xFF 0000 == 6502530000",
      // Mended: separators left before the match on the trunk side no longer part the numbers;
      // anything else left there still does.
      "0 20 12345 == +442012345", "0-90-1234-5678 == +819012345678",
      "0 - (90) 1234 5678 == +81 90 1234 5678", "0a 20 12345 != +442012345",
      "0# 20 12345 != +442012345", "00 20 12345 != +442012345",
      // After a code one more digit may stand before the match, not two, nor '#'; nothing
      // dialable may stand before a trunk digit.
      "+44 00 20 1234 != 020 1234", "+44 # 20 1234 != 020 1234", "#0 20 1234 != +44 20 1234"};
  for (std::string_view row : rows) {
    const bool equal = row.find(" == ") != std::string_view::npos;
    const auto [a, b] = split(row, equal ? " == " : " != ");
    EXPECT_EQ(phone_number_compare_strict(a.c_str(), b.c_str()), equal) << row;
    EXPECT_EQ(phone_number_compare_strict(b.c_str(), a.c_str()), equal) << row << ", swapped";
  }
  EXPECT_EQ(tryGetCountryCallingCode("+999 1", 6, nullptr, nullptr, true), 999) << "three digits";
  // Without the allowance "166" is a plain local number.
  EXPECT_FALSE(phone_number_compare_inter("+66811234567", "166811234567", false));
  EXPECT_TRUE(phone_number_compare_inter("16610001234", "6610001234", false));
}

// The form written into a heap buffer of exactly capacity bytes, so that AddressSanitizer
// catches a write past it.
std::string reversed(const char* input, int32_t capacity = 20) {
  auto buffer = std::make_unique<char[]>(size_t(std::max(capacity, 0)));
  int32_t count = -1;
  EXPECT_TRUE(phone_number_stripped_reversed_inter(input, buffer.get(), capacity, &count));
  return count < 0 ? "(count not set)" : std::string(buffer.get(), size_t(count));
}

TEST(PhoneNumberTest, ReversedDialableForm) {
  // ',' and ';' end the number; a '+' after them is dropped, yet counts as the one '+' taken.
  const std::string_view rows[] = {"+1 (650) 253-0000 => 00003520561+", "555-1234,567 => 4321555",
                                   "12;34 => 21", "1-800-FLOWERS => 0081", "+1+2 => 2+1",
                                   // Letters, '#' and '*' are kept.
                                   "1N2#* => *#2N1", "+1;+2 => 1", " => "};
  for (std::string_view row : rows) {
    const auto [input, expected] = split(row, " => ");
    EXPECT_EQ(reversed(input.c_str()), expected) << row;
  }
  EXPECT_EQ(reversed(nullptr), "");
  // Capacity limits: the form is cut short, and a capacity of 0 or less (or no buffer) gets none.
  EXPECT_EQ(reversed("650-253-0000", 4), "0000");
  EXPECT_EQ(reversed("9,12345", 2), "9");
  EXPECT_EQ(reversed("12345", 2), "54");
  EXPECT_EQ(reversed("123", 0), "");
  EXPECT_EQ(reversed("123", -5), "");
  int32_t count = -1;
  EXPECT_TRUE(phone_number_stripped_reversed_inter("123", nullptr, 4, &count));
  EXPECT_EQ(count, 0);
}

TEST(PhoneNumberTest, CompareStrictRemovesParenthesesAndTakesAbsentAsEmpty) {
  EXPECT_TRUE(compareStrict("1(6)6 1234", "+66 1234"));
  EXPECT_FALSE(phone_number_compare_strict("1(6)6 1234", "+66 1234"));
  EXPECT_TRUE(compareStrict("", std::nullopt));
  EXPECT_FALSE(compareStrict("+", std::nullopt));
  EXPECT_TRUE(compareStrict(std::string_view("123\0 9", 6), "123"));  // ends at the NUL
}

// A heap block of exactly the text's bytes (and its NUL, if asked), so that AddressSanitizer
// reports any read outside it.
std::unique_ptr<char[]> exactBlock(const std::string& text, bool withNul) {
  auto block = std::make_unique<char[]>(text.size() + withNul);
  std::memcpy(block.get(), text.c_str(), text.size() + withNul);
  return block;
}

TEST(PhoneNumberTest, RandomTextsAreReadInPlaceAndEqualThemselves) {
  const std::string pool =
      std::string(" -.()/,;\t\n\x01") + "0123456789" + "0011166+++#*" + "aZNx" + "\x80\xA0\xC2\xFF";
  std::mt19937 rng(20240604);
  auto randomText = [&] {
    std::string text(rng() % 25, ' ');
    for (char& ch : text) ch = pool[rng() % pool.size()];
    return text;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string a = randomText(), b = randomText();
    const auto ca = exactBlock(a, true), cb = exactBlock(b, true), bare = exactBlock(a, false);
    // Both sides run the same steps on the same bytes, so a text always equals itself.
    ASSERT_TRUE(phone_number_compare_strict(ca.get(), ca.get())) << a;
    ASSERT_TRUE(compareStrict(a, a)) << a;
    ASSERT_EQ(phone_number_compare_strict(ca.get(), cb.get()),
              phone_number_compare_strict(cb.get(), ca.get()))
        << a << " vs " << b;
    // The steps take a length and must not need the NUL; what they leave ends with the text.
    int32_t pos = -1;
    size_t len = a.size();
    int32_t found = tryGetCountryCallingCode(bare.get(), a.size(), &pos, &len, round % 2);
    ASSERT_TRUE(found == -1 || (found >= 1 && found <= 999 && pos + len == a.size())) << a;
    ASSERT_EQ(tryGetCountryCallingCode(bare.get(), a.size(), nullptr, nullptr, round % 2), found);
    pos = -1, len = a.size();
    tryGetTrunkPrefixOmittedStr(bare.get(), a.size(), &pos, &len);
    ASSERT_TRUE(pos == -1 || pos + len == a.size()) << a;
    (void)checkPrefixIsIgnorable(bare.get(), int32_t(a.size()) - 1);
    // A smaller capacity only cuts the form short.
    const std::string full = reversed(ca.get(), int32_t(a.size()));
    const int32_t capacity = int32_t(rng() % 32) - 1;
    ASSERT_EQ(reversed(ca.get(), capacity), full.substr(0, size_t(std::max(capacity, 0)))) << a;
    ASSERT_LE(std::count(full.begin(), full.end(), '+'), 1) << a;
    ASSERT_EQ(full.find_first_not_of("0123456789#*+N"), std::string::npos) << a;
  }
}

}  // namespace
}  // namespace xr
