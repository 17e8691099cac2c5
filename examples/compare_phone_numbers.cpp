// examples/compare_phone_numbers.cpp: tells whether two numbers, as typed and as stored,
// denote the same line.
#include <cstdio>

#include "xrfoundation/phone/phone_number.h"

int main() {
  struct Pair {
    const char* typed;
    const char* stored;
    bool same;
  };
  // [phone]
  const Pair pairs[] = {
      {"650-253-0000", "+1 650-253-0000", true},    // country code on one side only
      {"020 7946 0000", "+44 20 7946 0000", true},  // trunk digit 0 against +44
      {"(650) 253-0000", "650.253.0000", true},     // separators of every kind
      {"090-1234-5678", "90-1234-5678", false},     // a different number
  };
  int wrong = 0;
  for (const Pair& pair : pairs) {
    const bool same = xr::compareStrict(pair.typed, pair.stored);
    std::printf("%-16s %-18s %s\n", pair.typed, pair.stored, same ? "same" : "different");
    wrong += same != pair.same;
  }
  // [phone]
  return wrong == 0 ? 0 : 1;
}
