#include "xrfoundation/phone/phone_number_selftest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>

namespace xr {
namespace {

// What a run printed (into a temporary file); *errors gets what it returned. Without a
// comparison to stand in, testPhoneNumber itself runs.
std::string printed(bool (*compare)(const char*, const char*), int32_t* errors) {
  std::FILE* file = std::tmpfile();
  *errors = compare ? runPhoneNumberSelfTest(file, compare) : testPhoneNumber(file);
  std::string text(size_t(std::ftell(file)), '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text;
}

// With the real comparison all 45 rows pass. One that always answers "equal" fails the 19 rows
// that expect different numbers; one that always answers "different" fails the 26 others, the
// first four of which hold absent texts.
TEST(PhoneNumberSelfTestTest, ReportsEachFailingRowAndShowsAbsentTextsAsNull) {
  const std::tuple<bool (*)(const char*, const char*), const char*, int32_t> rows[] = {
      {nullptr, "", 0},
      {[](const char*, const char*) { return true; },
       "123456789 == 923456789 while we expect 123456789 != 923456789\n", 19},
      {[](const char*, const char*) { return false; },
       "(null) != (null) while we expect (null) == (null)\n"
       " != (null) while we expect  == (null)\n"
       "(null) !=  while we expect (null) == \n"
       " !=  while we expect  == \n",
       26},
  };
  for (const auto& [compare, firstLines, errors] : rows) {
    int32_t result = -1;
    const std::string text = printed(compare, &result);
    EXPECT_EQ(result, errors);
    EXPECT_TRUE(text.starts_with(firstLines)) << text;
    EXPECT_TRUE(text.ends_with("total: 45, error: " + std::to_string(errors) + "\n\n" +
                               (errors ? "Failure... :(\n" : "Success!\n")))
        << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), errors + 3) << text;
  }
}

}  // namespace
}  // namespace xr
