// bench/plain_loop.h: the plain main loop that the library's loop and its posting are measured
// against: one queue, one lock, one condition variable.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>

namespace xr::bench {

class PlainLoop {
 public:
  void post(std::function<void()> call, bool wait) {
    if (!wait) {
      std::lock_guard lock(mutex_);
      calls_.push_back(std::move(call));
      wake_.notify_one();
      return;
    }
    std::promise<void> ran;
    std::future<void> done = ran.get_future();
    post(
        [&] {
          call();
          ran.set_value();
        },
        false);
    done.wait();
  }
  // Runs calls until `done` answers true after one of them.
  void runUntil(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    while (!done()) {
      wake_.wait(lock, [this] { return !calls_.empty(); });
      auto call = std::move(calls_.front());
      calls_.pop_front();
      lock.unlock();
      call();
      lock.lock();
    }
  }
  void processPending() {
    std::unique_lock lock(mutex_);
    while (!calls_.empty()) {
      auto call = std::move(calls_.front());
      calls_.pop_front();
      lock.unlock();
      call();
      lock.lock();
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> calls_;
};

}  // namespace xr::bench
