// platform/testing/log_capture.h: records every line that the console logger and XRLog write
// while it lives, so that tests can assert the exact text. Lines below the loggers' levels
// are recorded too: the capture lowers both loggers to trace and restores them afterwards.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/platform/log.h"

namespace xr::testing {

struct CapturedLine {
  std::string logger;  // "xrfoundation" or "XRLog"
  LogLevel level;
  std::string text;
};

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<CapturedLine> lines() const;
  std::vector<std::string> texts() const;          // every line's text, in order
  std::size_t count(std::string_view text) const;  // lines equal to text
  bool contains(std::string_view text) const { return count(text) > 0; }
  void clear();

 private:
  struct Sink;
  std::shared_ptr<Sink> sink_;
  LogLevel consoleLevel_;
  LogLevel xrLevel_;
};

}  // namespace xr::testing
