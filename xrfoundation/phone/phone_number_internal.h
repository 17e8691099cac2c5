// phone/phone_number_internal.h: the steps of the telephone-number comparison, for the
// comparison itself and its tests. Positions are 32-bit signed indices into a text (-1 is
// "no position"); lengths are sizes. Callers keep texts below 2^31 bytes.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace xr {

namespace phone_internal {
constexpr std::array<bool, 100> makeCodeMap(std::initializer_list<int> codes) {
  std::array<bool, 100> map{};
  for (int code : codes) map[static_cast<std::size_t>(code)] = true;
  return map;
}
}  // namespace phone_internal

// Country calling codes that are complete after one or two digits, indexed by the value read
// so far; any other code takes three digits.
inline constexpr std::array<bool, 100> two_length_country_code_map = phone_internal::makeCodeMap(
    {1,  7,  27, 28, 31, 32, 33, 34, 36, 39, 43, 44, 45, 46, 47, 48, 49, 51, 52, 53, 54, 55,
     56, 57, 58, 61, 62, 63, 64, 65, 66, 81, 82, 83, 84, 86, 89, 91, 92, 93, 94, 95, 98});

// The comparison behind phone_number_compare_strict. With acceptPrefix166, a leading "166"
// may stand for code 66; when that reading fails to match, the pair is compared once more
// without it.
bool phone_number_compare_inter(const char* a, const char* b, bool acceptPrefix166);

// Reads an international prefix ("+", "00", "011", or with acceptPrefix166 the "1" "6" "6"
// of a call routed through 166) and the country calling code after it, from the start of
// str (len bytes, no NUL needed). Returns the code (1 to 999) and sets *newPos / *newLen
// (each may be null) to the remainder after the code; returns -1 and leaves them alone when
// there is no code.
int32_t tryGetCountryCallingCode(const char* str, std::size_t len, int32_t* newPos,
                                 std::size_t* newLen, bool acceptPrefix166);

// Drops the national trunk digit: the first digit of str, whatever it is, if no '#', '*' or
// '+' comes before it. Sets *newPos / *newLen (each may be null) to what follows it; leaves
// them alone when there is no such digit.
void tryGetTrunkPrefixOmittedStr(const char* str, std::size_t len, int32_t* newPos,
                                 std::size_t* newLen);

// True when str[0..pos] (pos may be -1: nothing) holds no '#', '*', '+' and at most one
// digit, so that it may stand unmatched before a number that has a country calling code.
bool checkPrefixIsIgnorable(const char* str, int32_t pos);

// False for a digit, '#', '*', '+' and an ASCII letter; true for every other byte.
bool isSeparator(char ch);

}  // namespace xr
