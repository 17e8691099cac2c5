// platform/input_stream.h: a source of bytes read in order, the stream that the text readers
// wrap. Two real streams: one over a file (a descriptor opened at open()) and one over bytes
// held in memory. A stream is used by one thread at a time; share it with std::shared_ptr.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "xrfoundation/export.h"

namespace xr {

// Where a stream is in its life.
enum class StreamStatus {
  NotOpen,  // made, open() not yet called
  Open,     // open, and bytes may follow
  AtEnd,    // every byte has been read
  Closed,   // close() was called
  Error     // the file could not be opened or read; streamError() says why
};

// A byte source read from the front. Subclasses are the file and memory streams below and
// the readers that wrap them.
class XR_EXPORT InputStream {
 public:
  virtual ~InputStream() = default;

  // Where the stream is: not open, open, at its end, closed or failed.
  virtual StreamStatus status() const = 0;
  // Opening an open stream and closing a closed (or never opened) one do nothing.
  virtual void open() = 0;
  // Releases what open() took (the file descriptor); reads then return -1.
  virtual void close() = 0;
  // Copies up to maxLength bytes into buffer. Result: bytes read (> 0), 0 at the end of the
  // input, negative on error (status() is then Error) or when the stream is not open.
  virtual std::int64_t read(std::uint8_t* buffer, std::uint64_t maxLength) = 0;
  // Whether a read may deliver bytes; false once the end or an error has been seen.
  virtual bool hasBytesAvailable() const = 0;
  // Hands out the stream's own block of bytes not yet read, when it keeps one; false (and
  // both out-parameters untouched) otherwise. The block stays valid until the next read.
  virtual bool getBuffer(const std::uint8_t*& buffer, std::uint64_t& length) = 0;
  // Why the stream is in the Error status (the file could not be opened or read), if it is.
  virtual std::optional<std::string> streamError() const = 0;
};

// A stream over the file at path; the file is opened by open(). A file that cannot be opened
// leaves the stream in the Error status, and every read then returns -1.
XR_EXPORT std::shared_ptr<InputStream> makeFileInputStream(std::string path);

// A stream over a copy of bytes; getBuffer() hands out the part not yet read.
XR_EXPORT std::shared_ptr<InputStream> makeDataInputStream(std::string bytes);

}  // namespace xr
