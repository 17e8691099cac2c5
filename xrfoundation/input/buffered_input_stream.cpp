// input/buffered_input_stream.cpp: the reader's life cycle, line cutting and the pass-through
// stream operations. vCard records: buffered_input_stream_vcard.cpp; CSV:
// buffered_input_stream_csv.cpp.
#include "xrfoundation/input/buffered_input_stream.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>

#include "xrfoundation/platform/byte_search_internal.h"

namespace xr {

XRBufferedInputStream::XRBufferedInputStream(std::shared_ptr<InputStream> stream,
                                             std::uint64_t bufferSize) {
  state_.stream = std::move(stream);
  state_.bufSize = std::max<std::uint64_t>(bufferSize, 1);
}

XRBufferedInputStream::~XRBufferedInputStream() {
  close();
  state_.stream.reset();
}

void XRBufferedInputStream::open() {
  State& s = state_;
  if (s.dataBuffer) return;  // already open: a second open would lose who opened the stream
  everOpened_ = true;
  // The block comes first, so that a reader that cannot have one touches nothing.
  if (s.bufSize <= kMaxBlockSize) s.dataBuffer.reset(new (std::nothrow) std::uint8_t[s.bufSize]());
  if (!s.dataBuffer) {
    openError_ = "cannot make a read block of " + std::to_string(s.bufSize) + " bytes";
    return;
  }
  openError_.reset();
  s.shouldCloseStream = s.stream && s.stream->status() == StreamStatus::NotOpen;
  if (s.shouldCloseStream) s.stream->open();
  s.lineBuffer = std::make_unique<std::string>();
  s.vcardData = std::make_unique<std::string>();
  s.pos = 0;
  s.read = 0;
  s.bytesProcessed = 0;
  endSeen_ = false;
  readFailed_ = false;
  lineNumber_ = 0;
  recordStart_ = -1;
  recordInBlock_ = false;
}

void XRBufferedInputStream::close() {
  State& s = state_;
  setCsvTitles(nullptr);
  s.lineBuffer.reset();
  s.vcardData.reset();
  s.dataBuffer.reset();
  spareBuffer_.reset();
  recordStart_ = -1;
  recordInBlock_ = false;
  checkedTitles_.reset();
  std::string().swap(csvLine_);
  // Left set, so the close of destruction closes the stream once more; streams allow that.
  if (s.shouldCloseStream && s.stream) s.stream->close();
}

StreamStatus XRBufferedInputStream::status() const {
  if (openError_) return StreamStatus::Error;
  if (!state_.dataBuffer) return everOpened_ ? StreamStatus::Closed : StreamStatus::NotOpen;
  if (state_.stream && state_.stream->status() == StreamStatus::Error) return StreamStatus::Error;
  return atEnd() ? StreamStatus::AtEnd : StreamStatus::Open;
}

bool XRBufferedInputStream::atEnd() const {
  return !state_.dataBuffer || (endSeen_ && state_.pos >= state_.read);
}

void XRBufferedInputStream::refill() {
  State& s = state_;
  if (recordInBlock_) {
    // The last record handed out lies in the block and must outlive this read: the block is
    // set aside and the spare one (made on first need) read into instead.
    recordInBlock_ = false;
    if (!spareBuffer_) spareBuffer_.reset(new (std::nothrow) std::uint8_t[s.bufSize]);
    if (!spareBuffer_) {
      openError_ = "cannot make a second read block of " + std::to_string(s.bufSize) + " bytes";
      s.read = -1;
      s.pos = 0;
      endSeen_ = true;
      return;
    }
    std::swap(s.dataBuffer, spareBuffer_);
  }
  if (recordStart_ >= 0) {
    if (s.read > recordStart_) {
      s.vcardData->append(reinterpret_cast<const char*>(s.dataBuffer.get()) + recordStart_,
                          static_cast<std::size_t>(s.read - recordStart_));
    }
    recordStart_ = 0;  // the record goes on at the start of the new block
  }
  s.read = s.stream ? s.stream->read(s.dataBuffer.get(), s.bufSize) : -1;
  // A stream must not deliver more than it was asked for; if one does, the rest is lost
  // rather than read beyond the block.
  s.read = std::min<std::int64_t>(s.read, static_cast<std::int64_t>(s.bufSize));
  s.pos = 0;
  endSeen_ = s.read <= 0;
  // A stream that is merely closed also answers -1; only one in the Error status has failed.
  readFailed_ = s.read < 0 && s.stream && s.stream->status() == StreamStatus::Error;
}

std::optional<std::string_view> XRBufferedInputStream::readLine() {
  State& s = state_;
  if (!s.dataBuffer) return std::nullopt;
  std::string& assembled = *s.lineBuffer;
  assembled.clear();
  for (;;) {
    if (s.pos >= s.read) {
      refill();  // may change blocks
      if (s.read <= 0) {
        if (assembled.empty()) return std::nullopt;
        ++lineNumber_;
        return std::string_view(assembled);  // the last line, without a line feed
      }
    }
    const char* start = reinterpret_cast<const char*>(s.dataBuffer.get()) + s.pos;
    const auto available = static_cast<std::size_t>(s.read - s.pos);
    const char* feed = findByte(start, available, '\n');
    if (feed != nullptr) {
      const auto length = static_cast<std::size_t>(feed - start) + 1;
      s.pos += static_cast<std::int64_t>(length);
      ++lineNumber_;
      // A line within one block is handed out where it lies, which saves a copy per line.
      if (assembled.empty()) return std::string_view(start, length);
      assembled.append(start, length);
      return std::string_view(assembled);
    }
    assembled.append(start, available);
    s.pos = s.read;
  }
}

std::int64_t XRBufferedInputStream::read(std::uint8_t* buffer, std::uint64_t maxLength) {
  if (!state_.stream) return -1;
  const std::int64_t result = state_.stream->read(buffer, maxLength);
  // Bytes, not results: an error (-1) delivers none and must not pull the count down.
  if (result > 0) state_.bytesProcessed += static_cast<std::uint64_t>(result);
  return result;
}

bool XRBufferedInputStream::hasBytesAvailable() const {
  return state_.stream && state_.stream->hasBytesAvailable();
}

bool XRBufferedInputStream::getBuffer(const std::uint8_t*& buffer, std::uint64_t& length) {
  return state_.stream && state_.stream->getBuffer(buffer, length);
}

std::optional<std::string> XRBufferedInputStream::readError() const {
  if (openError_) return openError_;
  if (!readFailed_) return std::nullopt;
  return state_.stream->streamError().value_or("read error");
}

std::optional<std::string> XRBufferedInputStream::streamError() const {
  if (openError_) return openError_;
  if (!state_.stream) return std::nullopt;
  return state_.stream->streamError();
}

}  // namespace xr
