#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "xrfoundation/platform/deferred_call_internal.h"
#include "xrfoundation/platform/log_internal.h"

namespace xr::internal {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  std::mutex mutex;
  std::condition_variable wake;
  std::multimap<Clock::time_point, std::function<void()>> due;  // guarded by mutex
  std::thread thread;  // started by the first deferral (joinable, never joined); guarded by mutex

  void work() {
    std::unique_lock lock(mutex);
    for (;;) {
      if (due.empty()) {
        wake.wait(lock, [this] { return !due.empty(); });
        continue;
      }
      const auto first = due.begin();
      if (Clock::now() < first->first) {
        // Woken early by a deferral that may be due sooner: look again.
        wake.wait_until(lock, first->first);
        continue;
      }
      std::function<void()> call = std::move(first->second);
      due.erase(first);
      lock.unlock();
      try {
        call();
      } catch (const std::exception& error) {
        consoleLog().error("deferred call: {}", error.what());
      } catch (...) {
        consoleLog().error("deferred call: unknown exception");
      }
      call = nullptr;  // what it held goes before the lock is taken again
      lock.lock();
    }
  }
};

Timer& timer() {
  // Never destroyed: its thread may still wait on it while the process exits.
  static auto* made = new Timer;
  return *made;
}

}  // namespace

void runAt(std::chrono::steady_clock::time_point when, std::function<void()> call) {
  if (!call) return;
  Timer& shared = timer();
  std::lock_guard lock(shared.mutex);
  const bool first = shared.due.empty() || when < shared.due.begin()->first;
  shared.due.emplace(when, std::move(call));
  if (!shared.thread.joinable()) {
    shared.thread = std::thread([&shared] { shared.work(); });
  } else if (first) {
    shared.wake.notify_one();
  }
}

}  // namespace xr::internal
