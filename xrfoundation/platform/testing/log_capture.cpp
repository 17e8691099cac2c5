#include "xrfoundation/platform/testing/log_capture.h"

#include <mutex>
#include <utility>

#include "xrfoundation/platform/log_internal.h"

namespace xr::testing {

struct LogCapture::Store {
  std::mutex mutex;
  std::vector<CapturedLine> captured;  // guarded by mutex
  LogHandler forward;     // guarded by mutex; the handler the capture replaced; empty: stderr
  LogLevel consoleLevel;  // lines at or above these were visible before
  LogLevel xrLevel;

  void take(LogLevel level, std::string_view logger, std::string_view text) {
    LogHandler previous;
    {
      std::lock_guard lock(mutex);
      captured.push_back({std::string(logger), level, std::string(text)});
      previous = forward;
    }
    // Lines that only the capture lowered the level for stay off the previous output.
    if (level < (logger == "XRLog" ? xrLevel : consoleLevel)) return;
    if (previous)
      previous(level, logger, text);
    else
      log_internal::writeToStandardError(level, logger, text);
  }
  std::vector<CapturedLine> copy() {
    std::lock_guard lock(mutex);
    return captured;
  }
};

LogCapture::LogCapture()
    : store_(std::make_shared<Store>()),
      consoleLevel_(consoleLog().level()),
      xrLevel_(xrLog().level()) {
  store_->consoleLevel = consoleLevel_;
  store_->xrLevel = xrLevel_;
  // The handler owns the store, so a line still being delivered when the capture ends is
  // recorded into memory that lives on rather than into a destroyed capture.
  auto store = store_;
  previousHandler_ =
      setLogHandler([store](LogLevel level, std::string_view logger, std::string_view text) {
        store->take(level, logger, text);
      });
  {
    std::lock_guard lock(store_->mutex);
    store_->forward = previousHandler_;
  }
  consoleLog().setLevel(LogLevel::Trace);
  xrLog().setLevel(LogLevel::Trace);
}

LogCapture::~LogCapture() {
  consoleLog().setLevel(consoleLevel_);
  xrLog().setLevel(xrLevel_);
  setLogHandler(std::move(previousHandler_));
}

std::vector<CapturedLine> LogCapture::lines() const { return store_->copy(); }

std::vector<std::string> LogCapture::texts() const {
  std::vector<std::string> out;
  for (auto& line : store_->copy()) out.push_back(std::move(line.text));
  return out;
}

std::size_t LogCapture::count(std::string_view text) const {
  std::size_t n = 0;
  for (const auto& line : store_->copy()) n += line.text == text;
  return n;
}

void LogCapture::clear() {
  std::lock_guard lock(store_->mutex);
  store_->captured.clear();
}

}  // namespace xr::testing
