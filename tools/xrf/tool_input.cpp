// tools/xrf/tool_input.cpp: standard input (or another C stream) as an InputStream, beside the
// library's file stream, and the vcard and csv commands' reader over either.
#include "tool_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "command.h"

namespace xrf {
namespace {

class StdioInputStream final : public xr::InputStream {
 public:
  StdioInputStream(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {}
  xr::StreamStatus status() const override { return status_; }
  void open() override {
    if (status_ == xr::StreamStatus::NotOpen) status_ = xr::StreamStatus::Open;
  }
  // The C stream belongs to whoever made this one (standard input to the process); it stays
  // open for whoever reads it next.
  void close() override {
    if (status_ == xr::StreamStatus::Open || status_ == xr::StreamStatus::AtEnd)
      status_ = xr::StreamStatus::Closed;
  }
  std::int64_t read(std::uint8_t* buffer, std::uint64_t maxLength) override {
    if (status_ == xr::StreamStatus::Error || status_ == xr::StreamStatus::NotOpen ||
        status_ == xr::StreamStatus::Closed) {
      return -1;
    }
    const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(maxLength), file_);
    if (got > 0) return static_cast<std::int64_t>(got);
    if (std::ferror(file_)) {
      error_ = "cannot read " + name_ + ": " + std::strerror(errno);
      status_ = xr::StreamStatus::Error;
      return -1;
    }
    status_ = xr::StreamStatus::AtEnd;
    return 0;
  }
  bool hasBytesAvailable() const override { return status_ == xr::StreamStatus::Open; }
  bool getBuffer(const std::uint8_t*&, std::uint64_t&) override { return false; }
  std::optional<std::string> streamError() const override { return error_; }

 private:
  std::FILE* file_;
  std::string name_;
  xr::StreamStatus status_ = xr::StreamStatus::NotOpen;
  std::optional<std::string> error_;
};

}  // namespace

bool isStandardInput(const std::string& path) { return path == "-"; }

std::shared_ptr<xr::InputStream> openInputStream(const std::string& path) {
  if (isStandardInput(path)) return openStdioStream(stdin, "standard input");
  return xr::makeFileInputStream(path);
}

std::shared_ptr<xr::InputStream> openStdioStream(std::FILE* file, std::string name) {
  return std::make_shared<StdioInputStream>(file, std::move(name));
}

std::unique_ptr<xr::XRBufferedInputStream> openReader(const std::string& path) {
  auto reader = std::make_unique<xr::XRBufferedInputStream>(xrf::openInputStream(path), kBlockSize);
  reader->open();
  if (reader->status() == xr::StreamStatus::Error) {
    xrf::fail(reader->streamError().value_or("cannot open " + path));
    return nullptr;
  }
  return reader;
}

bool endedCleanly(const xr::XRBufferedInputStream& reader) {
  const std::optional<std::string> error = reader.readError();
  if (error) xrf::fail(*error);
  return !error;
}

}  // namespace xrf
