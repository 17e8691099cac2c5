// integration/testing/watched_task.h: the task the watcher tests follow.
#pragma once
#include <chrono>
#include <latch>
#include <memory>
#include <optional>
#include <thread>

#include "xrfoundation/tasks/value_task.h"

namespace xr::testing {

// Sends start, reports `steps` values a millisecond apart and yields make(); or, with
// `untilCancelled`, reports two values and runs until it is cancelled. `secondReported` opens
// once the second value is on its way, so a test acting on the first one acts while a delivery
// is pending.
template <class T, class Make>
std::shared_ptr<ValueTask<T>> makeWatchedTask(int steps, bool untilCancelled,
                                              std::shared_ptr<std::latch> secondReported,
                                              Make make) {
  return AsyncTaskBase::create<ValueTask<T>>([=](ValueTask<T>& self) -> std::optional<T> {
    self.fireStartEvent();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int i = 1; !self.isCancelled() && std::chrono::steady_clock::now() < giveUp; ++i) {
      if (!untilCancelled && i > steps) return make();
      if (!untilCancelled || i <= 2) self.fireProgressEvent(static_cast<double>(i) / steps);
      if (i == 2) secondReported->count_down();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::nullopt;
  });
}

}  // namespace xr::testing
