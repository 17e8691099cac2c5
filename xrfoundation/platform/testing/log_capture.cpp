#include "xrfoundation/platform/testing/log_capture.h"

#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <mutex>

#include "xrfoundation/platform/log_internal.h"

namespace xr::testing {

struct LogCapture::Sink : spdlog::sinks::base_sink<std::mutex> {
  std::vector<CapturedLine> captured;  // guarded by base_sink's mutex_

  std::vector<CapturedLine> copy() {
    std::lock_guard lock(mutex_);
    return captured;
  }
  void clearAll() {
    std::lock_guard lock(mutex_);
    captured.clear();
  }

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    captured.push_back({std::string(msg.logger_name.begin(), msg.logger_name.end()),
                        static_cast<LogLevel>(static_cast<int>(msg.level)),
                        std::string(msg.payload.begin(), msg.payload.end())});
  }
  void flush_() override {}
};

LogCapture::LogCapture()
    : sink_(std::make_shared<Sink>()),
      consoleLevel_(consoleLog().level()),
      xrLevel_(xrLog().level()) {
  // Lines that only the capture lowered the level for stay off standard error.
  log_internal::setStandardErrorLevel(std::min(consoleLevel_, xrLevel_));
  log_internal::addSink(sink_);
  consoleLog().setLevel(LogLevel::Trace);
  xrLog().setLevel(LogLevel::Trace);
}

LogCapture::~LogCapture() {
  consoleLog().setLevel(consoleLevel_);
  xrLog().setLevel(xrLevel_);
  log_internal::removeSink(sink_);
  log_internal::setStandardErrorLevel(LogLevel::Trace);
}

std::vector<CapturedLine> LogCapture::lines() const { return sink_->copy(); }

std::vector<std::string> LogCapture::texts() const {
  std::vector<std::string> out;
  for (auto& line : sink_->copy()) out.push_back(std::move(line.text));
  return out;
}

std::size_t LogCapture::count(std::string_view text) const {
  std::size_t n = 0;
  for (const auto& line : sink_->copy()) n += line.text == text;
  return n;
}

void LogCapture::clear() { sink_->clearAll(); }

}  // namespace xr::testing
