// tools/xrf/tool_input.cpp: standard input as an InputStream, beside the library's file stream.
#include "tool_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace xrf {
namespace {

class StandardInputStream final : public xr::InputStream {
 public:
  xr::StreamStatus status() const override { return status_; }
  void open() override {
    if (status_ == xr::StreamStatus::NotOpen) status_ = xr::StreamStatus::Open;
  }
  // Standard input belongs to the process; it stays open for whoever reads it next.
  void close() override {
    if (status_ == xr::StreamStatus::Open || status_ == xr::StreamStatus::AtEnd)
      status_ = xr::StreamStatus::Closed;
  }
  std::int64_t read(std::uint8_t* buffer, std::uint64_t maxLength) override {
    if (status_ == xr::StreamStatus::Error || status_ == xr::StreamStatus::NotOpen ||
        status_ == xr::StreamStatus::Closed) {
      return -1;
    }
    const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(maxLength), stdin);
    if (got > 0) return static_cast<std::int64_t>(got);
    if (std::ferror(stdin)) {
      error_ = std::string("cannot read standard input: ") + std::strerror(errno);
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
  xr::StreamStatus status_ = xr::StreamStatus::NotOpen;
  std::optional<std::string> error_;
};

}  // namespace

bool isStandardInput(const std::string& path) { return path == "-"; }

std::shared_ptr<xr::InputStream> openInputStream(const std::string& path) {
  if (isStandardInput(path)) return std::make_shared<StandardInputStream>();
  return xr::makeFileInputStream(path);
}

}  // namespace xrf
