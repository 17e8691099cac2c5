// platform/input_stream.cpp: the file stream over a descriptor (file_descriptor_internal.h) and
// the in-memory stream.
#include "xrfoundation/platform/input_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "xrfoundation/platform/file_descriptor_internal.h"

namespace xr {
namespace {

class FileInputStream final : public InputStream {
 public:
  explicit FileInputStream(std::string path) : path_(std::move(path)) {}
  ~FileInputStream() override { close(); }

  StreamStatus status() const override { return status_; }

  void open() override {
    if (status_ != StreamStatus::NotOpen) return;
    fd_ = file_descriptor::openForReading(path_);
    if (fd_ < 0) {
      fail("cannot open");
      return;
    }
    status_ = StreamStatus::Open;
  }

  void close() override {
    if (fd_ >= 0) file_descriptor::close(fd_);
    fd_ = -1;
    if (status_ != StreamStatus::NotOpen && status_ != StreamStatus::Error) {
      status_ = StreamStatus::Closed;
    }
  }

  std::int64_t read(std::uint8_t* buffer, std::uint64_t maxLength) override {
    if (fd_ < 0 || status_ == StreamStatus::Error) return -1;
    if (maxLength == 0) return 0;
    // A single read(2) moves at most about 2 GiB; larger requests are simply served in part.
    const std::size_t length =
        static_cast<std::size_t>(std::min<std::uint64_t>(maxLength, 1u << 30));
    const std::int64_t n = file_descriptor::readSome(fd_, buffer, length);
    if (n < 0) {
      fail("cannot read");
      return -1;
    }
    // A file that grows after its end was seen is read on, as the readers ask again.
    status_ = n == 0 ? StreamStatus::AtEnd : StreamStatus::Open;
    return n;
  }

  bool hasBytesAvailable() const override { return status_ == StreamStatus::Open; }
  bool getBuffer(const std::uint8_t*&, std::uint64_t&) override { return false; }
  std::optional<std::string> streamError() const override { return error_; }

 private:
  void fail(const char* what) {
    error_ = std::string(what) + " " + path_ + ": " + std::strerror(errno);
    status_ = StreamStatus::Error;
  }

  std::string path_;
  int fd_ = -1;
  StreamStatus status_ = StreamStatus::NotOpen;
  std::optional<std::string> error_;
};

class DataInputStream final : public InputStream {
 public:
  explicit DataInputStream(std::string bytes) : bytes_(std::move(bytes)) {}

  StreamStatus status() const override { return status_; }

  void open() override {
    if (status_ == StreamStatus::NotOpen) status_ = StreamStatus::Open;
  }
  void close() override {
    if (status_ != StreamStatus::NotOpen) status_ = StreamStatus::Closed;
  }

  std::int64_t read(std::uint8_t* buffer, std::uint64_t maxLength) override {
    if (status_ != StreamStatus::Open && status_ != StreamStatus::AtEnd) return -1;
    const std::size_t n = static_cast<std::size_t>(
        std::min<std::uint64_t>({maxLength, bytes_.size() - offset_, 1u << 30}));
    if (n == 0) {
      if (maxLength > 0) status_ = StreamStatus::AtEnd;
      return 0;
    }
    std::memcpy(buffer, bytes_.data() + offset_, n);
    offset_ += n;
    return static_cast<std::int64_t>(n);
  }

  bool hasBytesAvailable() const override {
    return status_ == StreamStatus::Open && offset_ < bytes_.size();
  }

  bool getBuffer(const std::uint8_t*& buffer, std::uint64_t& length) override {
    if (status_ != StreamStatus::Open) return false;
    buffer = reinterpret_cast<const std::uint8_t*>(bytes_.data()) + offset_;
    length = bytes_.size() - offset_;
    return true;
  }

  std::optional<std::string> streamError() const override { return std::nullopt; }

 private:
  std::string bytes_;
  std::size_t offset_ = 0;
  StreamStatus status_ = StreamStatus::NotOpen;
};

}  // namespace

std::shared_ptr<InputStream> makeFileInputStream(std::string path) {
  return std::make_shared<FileInputStream>(std::move(path));
}

std::shared_ptr<InputStream> makeDataInputStream(std::string bytes) {
  return std::make_shared<DataInputStream>(std::move(bytes));
}

}  // namespace xr
