#include "xrfoundation/platform/log.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/ostream_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <mutex>

#include "xrfoundation/platform/log_internal.h"

namespace xr {
namespace {

spdlog::level::level_enum toSpd(LogLevel level) {
  return static_cast<spdlog::level::level_enum>(static_cast<int>(level));
}

// The default output's sink. On Windows spdlog's standard-error sinks write to the handle that
// stderr had when the sink was made, past the C run-time's stderr that a program (or a test)
// may have redirected since; std::cerr goes through the C run-time's stderr, as the colour sink
// does on POSIX systems.
std::shared_ptr<spdlog::sinks::sink> makeStandardErrorSink() {
#if defined(_WIN32)
  return std::make_shared<spdlog::sinks::ostream_sink_mt>(std::cerr, /*force_flush=*/true);
#else
  return std::make_shared<spdlog::sinks::stderr_color_sink_mt>();
#endif
}

struct Loggers {
  Logger console{"console"};
  Logger xrlog{"XRLog"};

  // The default output: one spdlog logger per stream over one standard-error sink, so that a
  // tool's standard output stays its result. Levels are decided by Logger, so these pass all.
  std::shared_ptr<spdlog::logger> consoleStandardError;
  std::shared_ptr<spdlog::logger> xrlogStandardError;

  std::mutex handlerMutex;
  std::shared_ptr<const LogHandler> handler;  // guarded by handlerMutex; null: standard error

  Loggers() {
    auto sink = makeStandardErrorSink();
    consoleStandardError = std::make_shared<spdlog::logger>("console", sink);
    xrlogStandardError = std::make_shared<spdlog::logger>("XRLog", sink);
    consoleStandardError->set_level(spdlog::level::trace);
    xrlogStandardError->set_level(spdlog::level::trace);
  }

  // A copy of the current handler: it stays alive while this line is delivered even if
  // another thread replaces it meanwhile, and no lock is held while it runs, so a handler
  // may log or set a handler itself.
  std::shared_ptr<const LogHandler> currentHandler() {
    std::lock_guard lock(handlerMutex);
    return handler;
  }
};

Loggers& loggers() {
  static auto* all = new Loggers;
  return *all;
}

}  // namespace

void Logger::write(LogLevel level, std::string_view message) {
  if (!shouldLog(level)) return;
  const auto handler = loggers().currentHandler();
  if (!handler) {
    log_internal::writeToStandardError(level, name_, message);
    return;
  }
  try {
    (*handler)(level, name_, message);
  } catch (...) {
    // A line is never worth failing the operation that wrote it, which may be a destructor.
  }
}

Logger& consoleLog() { return loggers().console; }
Logger& xrLog() { return loggers().xrlog; }

LogHandler setLogHandler(LogHandler handler) {
  auto next = handler ? std::make_shared<const LogHandler>(std::move(handler)) : nullptr;
  std::shared_ptr<const LogHandler> previous;
  {
    std::lock_guard lock(loggers().handlerMutex);
    previous = std::exchange(loggers().handler, std::move(next));
  }
  // The caller gets its own copy; delivering threads keep theirs alive as long as they need.
  return previous ? *previous : LogHandler();
}

void setLogLevel(LogLevel level) {
  loggers().console.setLevel(level);
  loggers().xrlog.setLevel(level);
}

LogLevel logLevel() { return std::min(loggers().console.level(), loggers().xrlog.level()); }

namespace log_internal {
void writeToStandardError(LogLevel level, std::string_view logger, std::string_view text) {
  if (level == LogLevel::Off) return;
  auto& all = loggers();
  auto& target = logger == "XRLog" ? all.xrlogStandardError : all.consoleStandardError;
  target->log(toSpd(level), text);
}
}  // namespace log_internal

}  // namespace xr
