// phone/phone_number_selftest.cpp: the 45 reference pairs and their report.
#include "xrfoundation/phone/phone_number_selftest.h"

#include <iterator>

namespace xr {
namespace {

struct Row {
  const char* first;  // nullptr: absent text
  const char* second;
  bool equal;
};

// In the order run; the three leading spaces of row 15 are part of the text.
constexpr Row kRows[] = {
    {nullptr, nullptr, true},
    {"", nullptr, true},
    {nullptr, "", true},
    {"", "", true},
    {"999", "999", true},
    {"119", "119", true},
    {"123456789", "923456789", false},
    {"123456789", "123456781", false},
    {"123456789", "1234567890", false},
    {"123456789", "0123456789", false},
    {"650-253-0000", "6502530000", true},
    {"650-253-0000", "650 253 0000", true},
    {"650 253 0000", "6502530000", true},
    {"650-253-0000", "1-650-253-0000", true},
    {"650-253-0000", "   1-650-253-0000", true},
    {"650-253-0000", "11-650-253-0000", false},
    {"650-253-0000", "0-650-253-0000", false},
    {"555-4141", "+1-700-555-4141", false},
    {"+1 650-253-0000", "6502530000", true},
    {"001 650-253-0000", "6502530000", true},
    {"0111 650-253-0000", "6502530000", true},
    {"+19012345678", "+819012345678", false},
    {"+79161234567", "89161234567", true},
    {"+33123456789", "0123456789", true},
    {"+31771234567", "0771234567", true},
    {"090-1234-5678", "+819012345678", true},
    {"090(1234)5678", "+819012345678", true},
    {"090-1234-5678", "+81-90-1234-5678", true},
    {"090-1234-5678", "90-1234-5678", false},
    {"090-1234-5678", "080-1234-5678", false},
    {"090-1234-5678", "190-1234-5678", false},
    {"090-1234-5678", "890-1234-5678", false},
    {"+81-90-1234-5678", "+81-090-1234-5678", false},
    {"+593(800)123-1234", "8001231234", true},
    {"008001231234", "8001231234", false},
    {"+66811234567", "166811234567", true},
    {"080-1234-5678", "+819012345678", false},
    {"650-000-3456", "16500003456", true},
    {"011 1 7005554141", "+17005554141", true},
    {"011 11 7005554141", "+17005554141", false},
    {"+44 207 792 3490", "00 207 792 3490", false},
    {"16610001234", "6610001234", true},
    {"abcd", "bcde", false},
    {"1-800-flowers", "800-flowers", true},
    {"1-800-flowers", "1-800-abcdefg", false},
};

// What a C library's printf commonly prints for a null "%s"; passing the null itself would
// be undefined behaviour.
const char* shown(const char* text) { return text != nullptr ? text : "(null)"; }

}  // namespace

int32_t runPhoneNumberSelfTest(std::FILE* out, bool (*compare)(const char*, const char*)) {
  int32_t errors = 0;
  for (const Row& row : kRows) {
    const bool equal = compare(row.first, row.second);
    if (equal == row.equal) continue;
    const char* a = shown(row.first);
    const char* b = shown(row.second);
    if (row.equal) {
      std::fprintf(out, "%s != %s while we expect %s == %s\n", a, b, a, b);
    } else {
      std::fprintf(out, "%s == %s while we expect %s != %s\n", a, b, a, b);
    }
    ++errors;
  }
  std::fprintf(out, "total: %d, error: %d\n\n", static_cast<int>(std::size(kRows)),
               static_cast<int>(errors));
  std::fputs(errors == 0 ? "Success!\n" : "Failure... :(\n", out);
  return errors;
}

int32_t testPhoneNumber(std::FILE* out) {
  runPhoneNumberSelfTest(out);
  return 0;
}

}  // namespace xr
