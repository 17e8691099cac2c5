// platform/log_internal.h: how the library's own code writes its log lines. consoleLog()
// carries the "console" lines; xrLog() is the "XRLog" stream, written through XR_LOG_ERROR /
// XR_LOG_WARN. Both are process-wide, made on first use, never destroyed, and usable from any
// thread. Messages are formatted with fmt, and only when their level is enabled. Lines go to
// the handler of log.h, or to standard error without one. Not installed: applications see
// only log.h, which names no third-party library.
#pragma once
#include <fmt/format.h>

#include <atomic>
#include <string_view>
#include <utility>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/log.h"

namespace xr {

class XR_EXPORT Logger {
 public:
  explicit Logger(const char* name) : name_(name) {}
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  const char* name() const { return name_; }
  bool shouldLog(LogLevel level) const {
    return level != LogLevel::Off && level >= level_.load(std::memory_order_relaxed);
  }
  // This stream's own threshold; setLogLevel() sets both streams'.
  void setLevel(LogLevel level) { level_.store(level, std::memory_order_relaxed); }
  LogLevel level() const { return level_.load(std::memory_order_relaxed); }
  // Delivers message as it is, when level is enabled.
  void write(LogLevel level, std::string_view message);

  template <class... Args>
  void log(LogLevel level, fmt::format_string<Args...> format, Args&&... args) {
    if (shouldLog(level)) write(level, fmt::format(format, std::forward<Args>(args)...));
  }
  template <class... Args>
  void debug(fmt::format_string<Args...> format, Args&&... args) {
    log(LogLevel::Debug, format, std::forward<Args>(args)...);
  }
  template <class... Args>
  void info(fmt::format_string<Args...> format, Args&&... args) {
    log(LogLevel::Info, format, std::forward<Args>(args)...);
  }
  template <class... Args>
  void warn(fmt::format_string<Args...> format, Args&&... args) {
    log(LogLevel::Warn, format, std::forward<Args>(args)...);
  }
  template <class... Args>
  void error(fmt::format_string<Args...> format, Args&&... args) {
    log(LogLevel::Error, format, std::forward<Args>(args)...);
  }

 private:
  const char* name_;  // "console" or "XRLog"; a literal
  std::atomic<LogLevel> level_{LogLevel::Warn};
};

XR_EXPORT Logger& consoleLog();
XR_EXPORT Logger& xrLog();

// What a "%@" of an absent text prints, as the platform's console log has always shown it.
inline constexpr std::string_view kNullText = "(null)";

namespace log_internal {
// The default output, whatever handler is set: one line on standard error.
XR_EXPORT void writeToStandardError(LogLevel level, std::string_view logger, std::string_view text);
}  // namespace log_internal

}  // namespace xr

#define XR_LOG_ERROR(...) ::xr::xrLog().error(__VA_ARGS__)
#define XR_LOG_WARN(...) ::xr::xrLog().warn(__VA_ARGS__)
