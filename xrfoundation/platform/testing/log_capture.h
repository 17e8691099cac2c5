// platform/testing/log_capture.h: records every line that the console logger and XRLog write
// while it lives, so that tests can assert the exact text. It installs itself as the log
// handler and lowers both streams to trace, so lines below the default threshold (info,
// debug) are recorded too; lines at or above the previous threshold are still passed on to
// the previous handler. Handler and levels are restored when it ends. One capture at a time.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/platform/log_internal.h"

namespace xr::testing {

struct CapturedLine {
  std::string logger;  // "console" or "XRLog"
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
  struct Store;
  std::shared_ptr<Store> store_;  // shared with the installed handler
  LogHandler previousHandler_;
  LogLevel consoleLevel_;
  LogLevel xrLevel_;
};

}  // namespace xr::testing
