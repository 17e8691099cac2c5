// platform/log.h: where the library's log lines go. The library writes two streams of lines:
// "console", its diagnostic lines (task registry, cancellation, readers' warnings), and
// "XRLog", the composite task's and the device reader's error and warning lines. By default
// both go to standard error, and only warnings and errors are written; an application routes
// them into its own logger with setLogHandler() and chooses how much it wants with
// setLogLevel(). Every function here may be called from any thread at any time, also while
// other threads are logging.
#pragma once
#include <functional>
#include <string_view>

#include "xrfoundation/export.h"

namespace xr {

// Severity of a line, from the most detailed to none at all.
enum class LogLevel {
  Trace,     // step-by-step tracing; the library writes none today
  Debug,     // per-item diagnostics, such as each property a vCard is composed from
  Info,      // informational lines, such as the task registry's "(+)AsyncTask ..." lines
  Warn,      // something unexpected that the library worked around
  Error,     // an operation failed
  Critical,  // reserved for failures the library cannot continue after
  Off        // as a threshold: write nothing
};

// Receives one line: its level, the name of the stream ("console" or "XRLog") and the text,
// without a trailing line break. The views are valid only during the call. It is called on
// the thread that logs, possibly on several threads at once, so it must be thread-safe; an
// exception it throws is dropped.
using LogHandler =
    std::function<void(LogLevel level, std::string_view logger, std::string_view text)>;

// Sends every line at or above the threshold (setLogLevel) to handler from now on; an empty
// handler restores the default output to standard error. Returns the handler it replaces
// (empty when that was the default), so that a caller can put it back. A line that another
// thread is delivering at this moment may still reach the previous handler, which is kept
// alive until that call returns.
XR_EXPORT LogHandler setLogHandler(LogHandler handler);

// Writes only lines at level or above, on both streams: LogLevel::Info shows the
// informational lines, LogLevel::Off silences the library. The default is LogLevel::Warn.
XR_EXPORT void setLogLevel(LogLevel level);

// The most detailed level either stream writes at (LogLevel::Warn until changed).
XR_EXPORT LogLevel logLevel();

}  // namespace xr
