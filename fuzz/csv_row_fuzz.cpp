// The CSV row readers over random text, block sizes and read sizes: every line gives one row
// (a header first, when the input asks for one), and a valid line read without titles gives
// the same fields, under "field0", "field1", ..., as csvReadToken cuts from it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/reader_input.h"
#include "fuzz/utf8_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bool withHeader = size > 0 && (data[0] & 1);
  xr::fuzz::ReaderInput input = xr::fuzz::openReader(data, size);
  xr::XRBufferedInputStream& reader = *input.reader;
  const std::string_view text = input.text;
  size_t lineStart = 0;
  auto nextLine = [&] {
    const size_t feed = text.find('\n', lineStart);
    const size_t end = feed == std::string_view::npos ? text.size() : feed + 1;
    const std::string_view line = text.substr(lineStart, end - lineStart);
    lineStart = end;
    return line;
  };

  if (withHeader) {
    const xr::CsvTitles titles = reader.csvReadHeader();
    if (titles) {
      FUZZ_CHECK(reader.csvTitles() == titles);
      nextLine();
    }
  }
  size_t rows = 0;
  while (const auto row = reader.csvReadData()) {
    ++rows;
    FUZZ_CHECK(lineStart < input.readable);
    const std::string_view line = nextLine();
    const auto entries = row->entries();
    FUZZ_CHECK(entries.size() == row->size());
    FUZZ_CHECK(row->toMap().size() == row->size());
    for (const auto& [key, value] : entries) FUZZ_CHECK(row->value(key) == value);
    if (reader.csvTitles() || input.readable != text.size() ||
        !xr::fuzz::utf16LengthOfValid(line)) {
      continue;
    }
    int32_t at = 0;
    size_t index = 0;
    while (const auto field = reader.csvReadToken(line, at)) {
      FUZZ_CHECK(index < entries.size());
      FUZZ_CHECK(entries[index].first == "field" + std::to_string(index));
      FUZZ_CHECK(entries[index].second == *field);
      ++index;
    }
    FUZZ_CHECK(index == entries.size());
  }
  FUZZ_CHECK(reader.atEnd());
  if (input.readable == text.size()) FUZZ_CHECK(lineStart == text.size());
  return 0;
}
