// csvReadToken over random lines from random (also negative and far) positions: it always
// moves forward and stops at the line's end, both forms agree, and on a plain line (ASCII
// without quotes or whitespace) the fields joined by commas give the line back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/utf8_check.h"
#include "xrfoundation/input/buffered_input_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const bool fromStart = provider.ConsumeBool();
  const auto start = provider.ConsumeIntegral<int32_t>();
  const std::string line = provider.ConsumeRemainingBytesAsString();
  static const xr::XRBufferedInputStream reader(xr::makeDataInputStream(""), 16);

  const auto units = xr::fuzz::utf16LengthOfValid(line);
  // A byte is at most two code units, whatever the reader makes of broken sequences.
  const int64_t end = units ? static_cast<int64_t>(*units) : 2 * static_cast<int64_t>(line.size());
  int32_t at = fromStart ? 0 : start;
  int32_t atReused = at;
  std::string reused = "stale";
  std::string joined;
  for (size_t fields = 0;; ++fields) {
    const int32_t before = at;
    const auto field = reader.csvReadToken(line, at);
    FUZZ_CHECK(reader.csvReadToken(line, atReused, reused) == field.has_value());
    FUZZ_CHECK(atReused == at);
    if (!field) {
      FUZZ_CHECK(at == before);
      FUZZ_CHECK(reused.empty());
      break;
    }
    FUZZ_CHECK(*field == reused);
    FUZZ_CHECK(at > before && at <= end);
    // Each invalid byte, and a split pair's half, stands as the three bytes of U+FFFD.
    FUZZ_CHECK(field->size() <= 3 * line.size() + 3);
    FUZZ_CHECK(fields <= line.size());
    joined.append(fields == 0 ? "" : ",").append(*field);
  }
  if (fromStart && line.find_first_of("\" \t") == std::string::npos && units &&
      *units == line.size()) {
    FUZZ_CHECK(joined == line || joined + "," == line);
    if (!line.empty()) FUZZ_CHECK(at == static_cast<int32_t>(line.size()));
  }
  return 0;
}
