// platform/testing/encoded_samples.h: short address-book CSV texts in the legacy encodings,
// converted by iconv (scripts/encoded_samples.py writes encoded_samples.cpp), for the tests of
// encoding detection and conversion.
#pragma once
#include <string_view>
#include <vector>

namespace xr::testing {

struct EncodedSample {
  std::string_view encoding;  // the display name the library gives it
  std::string_view utf8;      // the text
  std::string_view bytes;     // the text in encoding
};

const std::vector<EncodedSample>& encodedSamples();

}  // namespace xr::testing
