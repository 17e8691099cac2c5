// The line reader over random bytes, block sizes and read sizes: the lines, joined, give the
// input back (up to a read error, if the stream has one), every line but the last ends with
// its only line feed, none is empty, and the reader ends at the end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/reader_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xr::fuzz::ReaderInput input = xr::fuzz::openReader(data, size);
  std::string joined;
  bool sawLast = false;
  while (const auto line = input.reader->readLine()) {
    FUZZ_CHECK(!sawLast);  // only the final line may lack its line feed
    FUZZ_CHECK(!line->empty());
    const size_t feed = line->find('\n');
    FUZZ_CHECK(feed == std::string::npos || feed == line->size() - 1);
    sawLast = feed == std::string::npos;
    joined.append(*line);
    FUZZ_CHECK(joined.size() <= input.readable);
  }
  FUZZ_CHECK(input.reader->atEnd());
  FUZZ_CHECK(!input.reader->readLine());
  if (input.readable == input.text.size()) {
    FUZZ_CHECK(joined == input.text);
  } else {
    // A failed read loses the block it was filling, never bytes already handed out.
    FUZZ_CHECK(input.text.compare(0, joined.size(), joined) == 0);
  }
  input.reader->close();
  FUZZ_CHECK(!input.reader->readLine());
  return 0;
}
