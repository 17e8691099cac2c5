// platform/log.h: the library's two loggers. consoleLog() carries the library's diagnostic
// lines; xrLog() is the separate "XRLog" logger for the LOG_ERROR / LOG_WARN lines.
// Both are process-wide, made on first use, never destroyed, and usable from any thread.
// Messages are formatted with fmt; a line is formatted only when its level is enabled.
#pragma once
#include <fmt/format.h>

#include <string>
#include <string_view>
#include <utility>

namespace xr {

enum class LogLevel { Trace, Debug, Info, Warn, Error, Critical, Off };

class Logger {
 public:
  bool shouldLog(LogLevel level) const;
  void setLevel(LogLevel level);
  LogLevel level() const;
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

  explicit Logger(void* impl) : impl_(impl) {}

 private:
  void* impl_;  // the spdlog logger behind it; owned by the process, never destroyed
};

Logger& consoleLog();
Logger& xrLog();

// What a "%@" of an absent text prints, as the platform's console log has always shown it.
inline constexpr std::string_view kNullText = "(null)";

}  // namespace xr

#define LOG_ERROR(...) ::xr::xrLog().error(__VA_ARGS__)
#define LOG_WARN(...) ::xr::xrLog().warn(__VA_ARGS__)
