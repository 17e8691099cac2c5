// platform/deferred_call_internal.h: runs a call at a later time, off every loop. The library
// uses it where something must happen even if nobody posts or reports again: a coalesced
// delivery held back to keep the main loop calm, a one-time check that the main loop was
// forgotten. Any thread may defer a call.
#pragma once
#include <chrono>
#include <functional>

#include "xrfoundation/export.h"

namespace xr::internal {

// Runs `call` at or after `when` on the library's timer thread, one call at a time in order of
// their times (equal times in the order they were deferred). The thread is made by the first
// deferral and lives for the rest of the process; while nothing is due it sleeps. A call must
// be short (it delays the calls due after it) and must not wait for the main thread. An
// exception it throws is logged and dropped.
XR_EXPORT void runAt(std::chrono::steady_clock::time_point when, std::function<void()> call);

}  // namespace xr::internal
