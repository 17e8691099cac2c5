// The vCard record reader over random bytes, block sizes and read sizes: each record is a run
// of whole lines of the input, records come in input order without overlapping, each holds
// the begin marker, and the reader always reaches the end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/reader_input.h"
#include "xrfoundation/platform/ascii.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xr::fuzz::ReaderInput input = xr::fuzz::openReader(data, size);
  const std::string_view text = input.text;
  const size_t lines = std::count(text.begin(), text.end(), '\n') + 1;
  size_t searchFrom = 0;
  size_t calls = 0;
  for (;;) {
    const auto record = input.reader->readVCardData();
    // Every call consumes at least one line, so this many calls reach the end.
    FUZZ_CHECK(++calls <= lines + 1);
    if (!record) {
      if (input.reader->atEnd()) break;
      continue;  // an "END:VCARD" line outside any record
    }
    FUZZ_CHECK(!record->empty());
    // The first copy of the record that is a run of whole lines (other copies may stand
    // inside a line or end within one).
    auto wholeLines = [&](size_t at) {
      const size_t end = at + record->size();
      return (at == 0 || text[at - 1] == '\n') && (record->back() == '\n' || end == input.readable);
    };
    size_t at = text.find(*record, searchFrom);
    while (at != std::string_view::npos && !wholeLines(at)) at = text.find(*record, at + 1);
    FUZZ_CHECK(at != std::string_view::npos);
    FUZZ_CHECK(at + record->size() <= input.readable);
    FUZZ_CHECK(xr::containsIgnoringCase(record->substr(0, record->find('\n')), "BEGIN:VCARD"));
    searchFrom = at + record->size();
  }
  FUZZ_CHECK(!input.reader->readVCardData());
  return 0;
}
