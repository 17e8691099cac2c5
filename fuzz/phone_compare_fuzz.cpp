// Telephone-number comparison of two texts cut from one input (at its first NUL, or in the
// middle when there is none): no input makes it read outside the texts, and it stays
// symmetric and reflexive, also through compareStrict with its parenthesis removal.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "xrfoundation/phone/phone_number.h"

namespace {

std::string withoutParentheses(std::string_view text) {
  std::string copy;
  for (char c : text.substr(0, text.find('\0'))) {
    if (c != '(' && c != ')') copy.push_back(c);
  }
  return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t cut = input.find('\0');
  const size_t skip = cut == std::string_view::npos ? 0 : 1;
  if (cut == std::string_view::npos) cut = size / 2;
  // Copies of exactly the texts' lengths, so that reading past either NUL is caught.
  const std::string a(input.substr(0, cut));
  const std::string b(input.substr(cut + skip));

  const bool same = xr::phone_number_compare_strict(a.c_str(), b.c_str());
  FUZZ_CHECK(same == xr::phone_number_compare_strict(b.c_str(), a.c_str()));
  FUZZ_CHECK(xr::phone_number_compare_strict(a.c_str(), a.c_str()));
  FUZZ_CHECK(xr::phone_number_compare_strict(nullptr, b.c_str()) ==
             xr::phone_number_compare_strict("", b.c_str()));

  const bool sameText = xr::compareStrict(a, b);
  FUZZ_CHECK(sameText == xr::compareStrict(b, a));
  FUZZ_CHECK(sameText == xr::phone_number_compare_strict(withoutParentheses(a).c_str(),
                                                         withoutParentheses(b).c_str()));
  FUZZ_CHECK(xr::compareStrict(a, std::nullopt) == xr::compareStrict(a, ""));
  return 0;
}
