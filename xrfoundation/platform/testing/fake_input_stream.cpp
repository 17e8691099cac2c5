// platform/testing/fake_input_stream.cpp
#include "xrfoundation/platform/testing/fake_input_stream.h"

#include <algorithm>
#include <cstring>

namespace xr::testing {

void FakeInputStream::open() {
  ++openCalls_;
  if (status_ == StreamStatus::NotOpen) status_ = StreamStatus::Open;
}

void FakeInputStream::close() {
  ++closeCalls_;
  if (status_ != StreamStatus::NotOpen) status_ = StreamStatus::Closed;
}

std::int64_t FakeInputStream::read(std::uint8_t* buffer, std::uint64_t maxLength) {
  ++readCalls_;
  largestRequest_ = std::max(largestRequest_, maxLength);
  if (status_ == StreamStatus::NotOpen || status_ == StreamStatus::Closed) return -1;
  if (status_ == StreamStatus::Error || (failAt_ && offset_ >= *failAt_)) {
    status_ = StreamStatus::Error;
    return -1;
  }
  std::size_t n =
      static_cast<std::size_t>(std::min<std::uint64_t>(maxLength, bytes_.size() - offset_));
  if (chunkLimit_ > 0) n = std::min(n, chunkLimit_);
  if (failAt_) n = std::min(n, *failAt_ - offset_);
  if (n == 0) {
    status_ = StreamStatus::AtEnd;
    return 0;
  }
  std::memcpy(buffer, bytes_.data() + offset_, n);
  offset_ += n;
  return static_cast<std::int64_t>(n);
}

bool FakeInputStream::hasBytesAvailable() const {
  return status_ == StreamStatus::Open && offset_ < bytes_.size();
}

bool FakeInputStream::getBuffer(const std::uint8_t*&, std::uint64_t&) { return false; }

std::optional<std::string> FakeInputStream::streamError() const {
  if (status_ == StreamStatus::Error) return "injected read error";
  return std::nullopt;
}

}  // namespace xr::testing
