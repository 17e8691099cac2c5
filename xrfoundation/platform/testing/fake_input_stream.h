// platform/testing/fake_input_stream.h: an in-memory InputStream for tests that need what a
// real stream rarely does on demand: few bytes per read, a read error part-way, and a record
// of how it was opened, read and closed.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "xrfoundation/platform/input_stream.h"

namespace xr::testing {

class FakeInputStream final : public InputStream {
 public:
  explicit FakeInputStream(std::string bytes) : bytes_(std::move(bytes)) {}

  // Each read delivers at most this many bytes (0: no limit beyond the caller's).
  void setChunkLimit(std::size_t bytes) { chunkLimit_ = bytes; }
  // Once this many bytes have been delivered, every read fails with -1.
  void setFailAt(std::size_t offset) { failAt_ = offset; }

  StreamStatus status() const override { return status_; }
  void open() override;
  void close() override;
  std::int64_t read(std::uint8_t* buffer, std::uint64_t maxLength) override;
  bool hasBytesAvailable() const override;
  bool getBuffer(const std::uint8_t*& buffer, std::uint64_t& length) override;
  std::optional<std::string> streamError() const override;

  int openCalls() const { return openCalls_; }
  int closeCalls() const { return closeCalls_; }
  int readCalls() const { return readCalls_; }
  std::uint64_t largestRequest() const { return largestRequest_; }  // largest maxLength seen
  std::size_t delivered() const { return offset_; }

 private:
  std::string bytes_;
  std::size_t offset_ = 0;
  std::size_t chunkLimit_ = 0;
  std::optional<std::size_t> failAt_;
  StreamStatus status_ = StreamStatus::NotOpen;
  int openCalls_ = 0;
  int closeCalls_ = 0;
  int readCalls_ = 0;
  std::uint64_t largestRequest_ = 0;
};

}  // namespace xr::testing
