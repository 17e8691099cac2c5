// Encoding and separator detection over random bytes, block sizes and read sizes: the name
// detected is one the library knows and converts; decoding in blocks cut anywhere always gives
// valid UTF-8, with the lines of its replacements ascending, capped and inside the text; and
// the standard CSV reader takes comma, semicolon or tab (or the one named) and hands out
// fields of valid UTF-8.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/utf8_check.h"
#include "xrfoundation/input/csv_standard_reader.h"
#include "xrfoundation/platform/ascii.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"
#include "xrfoundation/platform/text_encoding.h"

namespace {

void checkDamage(const xr::DecodeDamage& damage, std::uint64_t lastLine) {
  FUZZ_CHECK(damage.lines.size() <= xr::DecodeDamage::kMaxLines);
  FUZZ_CHECK(damage.count >= damage.lines.size());
  FUZZ_CHECK(std::is_sorted(damage.lines.begin(), damage.lines.end()));
  FUZZ_CHECK(std::adjacent_find(damage.lines.begin(), damage.lines.end()) == damage.lines.end());
  for (const std::uint64_t line : damage.lines) FUZZ_CHECK(line >= 1 && line <= lastLine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const auto block = provider.ConsumeIntegralInRange<size_t>(1, 300);
  const auto chunkLimit = provider.ConsumeIntegralInRange<size_t>(0, 40);
  const auto named = provider.ConsumeIntegralInRange<size_t>(0, 20);
  const std::string text = provider.ConsumeRemainingBytesAsString();

  const xr::DetectedEncoding found = xr::detectEncoding(text, true);
  FUZZ_CHECK(xr::encodingDisplayName(found.name) == found.name);
  FUZZ_CHECK(found.markLength <= text.size());
  const auto legacy = xr::legacyEncodings();
  const std::string encoding = named < legacy.size() ? std::string(legacy[named]) : found.name;

  auto decoder = xr::TextDecoder::create(encoding);
  FUZZ_CHECK(decoder != nullptr);
  std::string out;
  for (size_t at = 0; at < text.size(); at += block) {
    decoder->decode(std::string_view(text).substr(at, block), out);
  }
  decoder->decode({}, out, true);
  FUZZ_CHECK(xr::fuzz::utf16LengthOfValid(out).has_value());
  const auto breaks = static_cast<std::uint64_t>(std::count(out.begin(), out.end(), '\n') +
                                                 std::count(out.begin(), out.end(), '\r'));
  checkDamage(decoder->damage(), breaks + 1);

  auto stream = std::make_shared<xr::testing::FakeInputStream>(text);
  stream->setChunkLimit(chunkLimit);
  xr::CsvReadOptions options;
  if (named < legacy.size()) options.encoding = encoding;
  xr::StandardCsvReader reader(stream, options, block);
  if (!reader.open()) return 0;
  // Another separator only from a spreadsheet's "sep=X" first line.
  const std::string_view start =
      std::string_view(out).substr(out.starts_with("\xEF\xBB\xBF") ? 3 : 0);
  FUZZ_CHECK(reader.delimiter() == ',' || reader.delimiter() == ';' || reader.delimiter() == '\t' ||
             xr::startsWithIgnoringCase(start, "sep="));
  FUZZ_CHECK(xr::encodingDisplayName(reader.encodingName()).has_value());
  while (const auto* fields = reader.readRecord()) {
    for (const std::string_view field : *fields) {
      FUZZ_CHECK(xr::fuzz::utf16LengthOfValid(field).has_value());
    }
  }
  checkDamage(reader.undecodable(), reader.recordLine() + text.size() + 1);
  return 0;
}
