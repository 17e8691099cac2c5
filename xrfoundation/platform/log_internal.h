// platform/log_internal.h: attaching extra sinks to both loggers (the tests' capture sink).
#pragma once
#include <spdlog/sinks/sink.h>

#include <memory>

#include "xrfoundation/platform/log.h"

namespace xr::log_internal {
void addSink(std::shared_ptr<spdlog::sinks::sink> sink);
void removeSink(const std::shared_ptr<spdlog::sinks::sink>& sink);
void setStandardErrorLevel(LogLevel level);
}  // namespace xr::log_internal
