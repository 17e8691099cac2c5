// platform/testing/fake_main_thread.h: a main-thread dispatcher for tests. Its main thread is
// the thread that made it; posted calls wait in a queue until runPending() runs them there.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "xrfoundation/platform/main_thread.h"

namespace xr::testing {

class FakeMainThread : public IMainThread {
 public:
  FakeMainThread();
  bool isMainThread() const override;
  void post(std::function<void()> call, bool wait) override;

  // Runs every call posted so far, and the ones they post, on the calling thread; answers
  // how many ran.
  std::size_t runPending();
  std::size_t pendingCount() const;

 private:
  std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable ran_;
  std::deque<std::function<void()>> calls_;  // guarded by mutex_
  std::size_t ranCount_ = 0;                 // guarded by mutex_
};

}  // namespace xr::testing
