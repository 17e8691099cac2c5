// platform/testing/latch.h: a single-use countdown with the interface of std::latch, for tests
// whose threads meet. The std::latch of MinGW-w64's libstdc++ (and its std::atomic::wait and
// std::counting_semaphore) has no futex to sleep on: it sleeps on a shared condition variable
// that the counting-down thread signals without taking the sleeper's mutex, so a count that
// reaches zero between the sleeper's last look and its sleep wakes nobody, and the sleeper
// waits for ever. This one checks and sleeps under one mutex, which is correct everywhere.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace xr::testing {

class Latch {
 public:
  explicit Latch(std::ptrdiff_t count) : count_(count) {}
  Latch(const Latch&) = delete;
  Latch& operator=(const Latch&) = delete;

  void count_down(std::ptrdiff_t n = 1) {
    std::lock_guard lock(mutex_);
    count_ -= n;
    // Signalled under the mutex: a waiter that then sees zero may destroy the latch.
    if (count_ <= 0) reached_.notify_all();
  }
  bool try_wait() const {
    std::lock_guard lock(mutex_);
    return count_ <= 0;
  }
  void wait() const {
    std::unique_lock lock(mutex_);
    reached_.wait(lock, [this] { return count_ <= 0; });
  }
  void arrive_and_wait(std::ptrdiff_t n = 1) {
    std::unique_lock lock(mutex_);
    count_ -= n;
    if (count_ <= 0) {
      reached_.notify_all();
      return;
    }
    reached_.wait(lock, [this] { return count_ <= 0; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable reached_;
  std::ptrdiff_t count_;  // guarded by mutex_
};

}  // namespace xr::testing
