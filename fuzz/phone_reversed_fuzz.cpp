// The reversed dialable form of random texts into buffers of random capacity, each exactly as
// large as its capacity so that a write past it is caught: the count never exceeds the
// capacity, a smaller capacity gives a prefix of a larger one's output, and without its '+'
// the output is the dialable characters before the first ',' or ';', last first.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "xrfoundation/phone/phone_number.h"

namespace {

std::string reversedForm(const std::string& input, int32_t capacity) {
  std::unique_ptr<char[]> out(capacity > 0 ? new char[capacity] : nullptr);
  int32_t count = -1;
  FUZZ_CHECK(xr::phone_number_stripped_reversed_inter(input.c_str(), out.get(), capacity, &count));
  FUZZ_CHECK(count >= 0 && count <= std::max(capacity, 0));
  return std::string(out.get(), count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const auto capacity = provider.ConsumeIntegralInRange<int32_t>(-2, 80);
  std::string input = provider.ConsumeRemainingBytesAsString();
  input.resize(std::min(input.find('\0'), input.size()));

  const std::string full = reversedForm(input, static_cast<int32_t>(input.size()));
  const std::string limited = reversedForm(input, capacity);
  FUZZ_CHECK(limited == full.substr(0, std::max(capacity, 0)));
  FUZZ_CHECK(std::count(full.begin(), full.end(), '+') <= 1);

  std::string expected;
  for (char c : std::string_view(input).substr(0, input.find_first_of(",;"))) {
    if ((c >= '0' && c <= '9') || c == '#' || c == '*' || c == 'N') expected.insert(0, 1, c);
  }
  std::string withoutPlus = full;
  withoutPlus.erase(std::remove(withoutPlus.begin(), withoutPlus.end(), '+'), withoutPlus.end());
  FUZZ_CHECK(withoutPlus == expected);

  int32_t count = -1;
  FUZZ_CHECK(xr::phone_number_stripped_reversed_inter(input.c_str(), nullptr, 10, &count));
  FUZZ_CHECK(count == 0);
  FUZZ_CHECK(xr::phone_number_stripped_reversed_inter(input.c_str(), nullptr, 0, nullptr));
  return 0;
}
