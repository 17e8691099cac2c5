// fuzz/reader_input.h: turns a fuzz input into an open XRBufferedInputStream -- its block size,
// how many bytes each read of the wrapped stream delivers, and where (if anywhere) that stream
// fails are taken from the first bytes, and the rest is the text to read.
#pragma once
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <string>

#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"

namespace xr::fuzz {

struct ReaderInput {
  std::string text;      // every byte the wrapped stream holds
  std::size_t readable;  // bytes it delivers before failing (text.size() when it doesn't)
  std::unique_ptr<XRBufferedInputStream> reader;
};

inline ReaderInput openReader(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  // Small blocks make lines and records straddle refills, where the bookkeeping is.
  const auto blockSize = provider.ConsumeIntegralInRange<uint64_t>(1, 300);
  const auto chunkLimit = provider.ConsumeIntegralInRange<size_t>(0, 40);
  const bool fails = provider.ConsumeIntegralInRange<int>(0, 7) == 0;
  const auto failAt = provider.ConsumeIntegral<uint16_t>();
  ReaderInput input;
  input.text = provider.ConsumeRemainingBytesAsString();
  input.readable = input.text.size();
  std::shared_ptr<InputStream> stream;
  if (chunkLimit == 0 && !fails) {
    stream = makeDataInputStream(input.text);  // the production stream over memory
  } else {
    auto fake = std::make_shared<testing::FakeInputStream>(input.text);
    fake->setChunkLimit(chunkLimit);
    if (fails) {
      fake->setFailAt(failAt);
      input.readable = std::min<size_t>(failAt, input.text.size());
    }
    stream = fake;
  }
  input.reader = std::make_unique<XRBufferedInputStream>(stream, blockSize);
  input.reader->open();
  return input;
}

}  // namespace xr::fuzz
