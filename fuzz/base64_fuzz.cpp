// Base64 decoding of arbitrary text must never crash, and whatever it accepts must survive a
// round trip; encoding any bytes and decoding the text must give the bytes back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "xrfoundation/contacts/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);

  // The input as bytes: encoded, then decoded back.
  const auto encoded = xr::base64Encoding(bytes);
  FUZZ_CHECK(encoded.has_value());
  FUZZ_CHECK(encoded->size() == xr::base64EncodedLength(size));
  const auto back = xr::dataWithBase64EncodedString(*encoded);
  FUZZ_CHECK(back.has_value());
  FUZZ_CHECK(std::equal(back->begin(), back->end(), bytes.begin(), bytes.end()));

  // The input as text: decoding may refuse it, but what it accepts holds six bits for every
  // significant character and encodes to a text that decodes to the same bytes.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto decoded = xr::dataWithBase64EncodedString(text);
  if (decoded) {
    size_t significant = 0;
    for (char c : text.substr(0, text.find('\0'))) {
      significant += std::string_view(" \t\n\v\f\r=").find(c) == std::string_view::npos;
    }
    FUZZ_CHECK(decoded->size() == significant * 6 / 8);
    const auto again = xr::base64Encoding(*decoded);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(xr::dataWithBase64EncodedString(*again) == decoded);
  }
  return 0;
}
