#include "xrfoundation/platform/log.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/dist_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

#include "xrfoundation/platform/log_internal.h"

namespace xr {
namespace {

spdlog::level::level_enum toSpd(LogLevel level) {
  return static_cast<spdlog::level::level_enum>(static_cast<int>(level));
}

struct Loggers {
  std::shared_ptr<spdlog::sinks::dist_sink_mt> dist =
      std::make_shared<spdlog::sinks::dist_sink_mt>();
  std::shared_ptr<spdlog::sinks::sink> stderrSink;
  std::shared_ptr<spdlog::logger> console;
  std::shared_ptr<spdlog::logger> xrlog;
  Logger consoleFacade{nullptr};
  Logger xrFacade{nullptr};

  Loggers() {
    // Diagnostics go to standard error so that a tool's standard output stays its result.
    stderrSink = std::make_shared<spdlog::sinks::stderr_color_sink_mt>();
    stderrSink->set_level(spdlog::level::trace);
    dist->add_sink(stderrSink);
    console = std::make_shared<spdlog::logger>("xrfoundation", dist);
    xrlog = std::make_shared<spdlog::logger>("XRLog", dist);
    console->set_level(spdlog::level::info);
    xrlog->set_level(spdlog::level::info);
    consoleFacade = Logger(console.get());
    xrFacade = Logger(xrlog.get());
  }
};

Loggers& loggers() {
  static auto* all = new Loggers;
  return *all;
}

}  // namespace

bool Logger::shouldLog(LogLevel level) const {
  return static_cast<spdlog::logger*>(impl_)->should_log(toSpd(level));
}
void Logger::setLevel(LogLevel level) {
  static_cast<spdlog::logger*>(impl_)->set_level(toSpd(level));
}
LogLevel Logger::level() const {
  return static_cast<LogLevel>(static_cast<int>(static_cast<spdlog::logger*>(impl_)->level()));
}
void Logger::write(LogLevel level, std::string_view message) {
  static_cast<spdlog::logger*>(impl_)->log(toSpd(level), message);
}

Logger& consoleLog() { return loggers().consoleFacade; }
Logger& xrLog() { return loggers().xrFacade; }

namespace log_internal {
void addSink(std::shared_ptr<spdlog::sinks::sink> sink) {
  loggers().dist->add_sink(std::move(sink));
}
void removeSink(const std::shared_ptr<spdlog::sinks::sink>& sink) {
  loggers().dist->remove_sink(sink);
}
void setStandardErrorLevel(LogLevel level) { loggers().stderrSink->set_level(toSpd(level)); }
}  // namespace log_internal

}  // namespace xr
