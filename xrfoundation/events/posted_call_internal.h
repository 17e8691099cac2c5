// events/posted_call_internal.h: runs a call that was posted to another thread. Nobody is left
// on that thread to receive an exception the call throws (the poster has moved on, or waits on
// another thread), and letting it escape would end the main loop or the process; so it is
// logged once, here, and dropped.
#pragma once
#include <exception>
#include <string_view>
#include <utility>

#include "xrfoundation/platform/log_internal.h"

namespace xr::internal {

template <class Call>
void runPostedCall(std::string_view what, Call&& call) {
  try {
    std::forward<Call>(call)();
  } catch (const std::exception& error) {
    consoleLog().error("{}: {}", what, error.what());
  } catch (...) {
    consoleLog().error("{}: unknown exception", what);
  }
}

}  // namespace xr::internal
