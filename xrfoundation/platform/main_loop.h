// platform/main_loop.h: the library's own main-thread event loop. Its main thread is the
// process's initial thread (the one that ran main()). Any thread may post; only the main
// thread runs the loop. Calls run one at a time in posting order.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/main_thread.h"

namespace xr {

// The library's own dispatcher, used unless the application installs its own loop with
// setMainThread(). The main thread drives it with run(), runUntil() or processPending().
//
// A loop that nobody runs delivers nothing, silently. So when the first call posted to a loop
// has waited 2 s, nothing has run the loop yet and no other dispatcher is installed, the loop
// logs one warning that says how to fix it. The check is made once, 2 s after the first post;
// no thread watches the loop.
class XR_EXPORT MainLoop : public IMainThread {
 public:
  // An empty loop. The process-wide one is mainLoop(); make others only for tests.
  MainLoop();
  // Drops the calls not yet run.
  ~MainLoop() override;

  bool isMainThread() const override;
  void post(std::function<void()> call, bool wait) override;

  // Runs posted calls until stop() is called. On the main thread only.
  void run();
  // Makes run() return after the call it is running; callable from any thread and from a
  // posted call. A stop with no run() in progress makes the next run() return at once.
  void stop();
  // Runs posted calls until done() answers true (checked before each wait and after each
  // call) or the time-out in seconds passes; answers done(). NaN or negative time-outs
  // check once without waiting. On the main thread only.
  bool runUntil(const std::function<bool()>& done, double timeoutSeconds);
  // Runs the calls posted before this call, without waiting for more; answers how many ran.
  std::size_t processPending();

 private:
  // Whether anything has run the loop, shared with the one check for a forgotten loop, which
  // may come after the loop is gone.
  struct Attendance {
    std::atomic<bool> ran{false};
    std::atomic<bool> checkArmed{false};
  };

  bool runOne(std::unique_lock<std::mutex>& lock);
  void noteRun() { attendance_->ran.store(true, std::memory_order_relaxed); }
  void armForgottenCheck();

  const std::shared_ptr<Attendance> attendance_ = std::make_shared<Attendance>();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> calls_;  // guarded by mutex_
  bool stopRequested_ = false;               // guarded by mutex_
};

// The process-wide loop, made on first use and never destroyed.
XR_EXPORT MainLoop& mainLoop();

// Seconds as a steady-clock deadline from now, saturating: NaN and negatives are now,
// anything beyond a century is a century.
XR_EXPORT std::chrono::steady_clock::time_point deadlineAfter(double seconds);

}  // namespace xr
