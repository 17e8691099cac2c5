#include "xrfoundation/phone/phone_number_selftest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace xr {
namespace {

// Runs the self-test into a temporary file and returns what it printed and its result.
template <class Run>
std::string printed(Run run, int32_t* result) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return {};
  *result = run(file);
  std::rewind(file);
  std::string text;
  char chunk[256];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
  std::fclose(file);
  return text;
}

TEST(PhoneNumberSelfTestTest, AllRowsPass) {
  int32_t result = -1;
  EXPECT_EQ(printed([](std::FILE* out) { return testPhoneNumber(out); }, &result),
            "total: 45, error: 0\n\nSuccess!\n");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(printed([](std::FILE* out) { return runPhoneNumberSelfTest(out); }, &result),
            "total: 45, error: 0\n\nSuccess!\n");
  EXPECT_EQ(result, 0);
}

bool findsRow7Equal(const char* a, const char* b) {
  if (a != nullptr && b != nullptr && std::strcmp(a, "123456789") == 0 &&
      std::strcmp(b, "923456789") == 0) {
    return true;
  }
  return phone_number_compare_strict(a, b);
}

TEST(PhoneNumberSelfTestTest, ReportsAWronglyEqualRow) {
  int32_t errors = -1;
  EXPECT_EQ(
      printed([](std::FILE* out) { return runPhoneNumberSelfTest(out, findsRow7Equal); }, &errors),
      "123456789 == 923456789 while we expect 123456789 != 923456789\n"
      "total: 45, error: 1\n\nFailure... :(\n");
  EXPECT_EQ(errors, 1);
}

TEST(PhoneNumberSelfTestTest, ShowsAbsentTextsAsNull) {
  int32_t errors = -1;
  const std::string text = printed(
      [](std::FILE* out) {
        return runPhoneNumberSelfTest(out, [](const char*, const char*) { return false; });
      },
      &errors);
  // 26 of the 45 rows expect equal numbers; the first four are the absent and empty texts.
  EXPECT_EQ(text.substr(0, text.find("999")),
            "(null) != (null) while we expect (null) == (null)\n"
            " != (null) while we expect  == (null)\n"
            "(null) !=  while we expect (null) == \n"
            " !=  while we expect  == \n");
  EXPECT_NE(text.find("\ntotal: 45, error: 26\n\nFailure... :(\n"), std::string::npos) << text;
  EXPECT_EQ(errors, 26);
}

}  // namespace
}  // namespace xr
