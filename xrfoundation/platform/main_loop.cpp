#include "xrfoundation/platform/main_loop.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <thread>

#include "xrfoundation/platform/deferred_call_internal.h"
#include "xrfoundation/platform/initial_thread_internal.h"
#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/thread_set_internal.h"

namespace xr {
namespace {

constexpr double kLongestWaitSeconds = 100.0 * 365 * 24 * 3600;
// runUntil() wakes at least this often to notice a condition that another thread made
// true without posting anything.
constexpr auto kConditionSlice = std::chrono::milliseconds(5);

std::atomic<IMainThread*> g_installed{nullptr};

// A call posted to a loop that nobody runs has waited this long when the loop says so.
constexpr auto kForgottenLoopAfter = std::chrono::seconds(2);
constexpr const char* kForgottenLoopWarning =
    "Calls posted to the main thread have waited 2 s and nothing runs the library's main loop: "
    "run xr::mainLoop() on the main thread (run(), runUntil() or processPending()), or install "
    "the adapter of the application's loop (xr::installQtMainThread(), "
    "xr::installGlibMainThread(), xr::installWxMainThread(), xr::installWin32MainThread()) "
    "before starting work";

}  // namespace

std::chrono::steady_clock::time_point deadlineAfter(double seconds) {
  const auto now = std::chrono::steady_clock::now();
  if (!(seconds > 0)) return now;  // NaN and negatives too
  if (seconds > kLongestWaitSeconds) seconds = kLongestWaitSeconds;
  return now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                   std::chrono::duration<double>(seconds));
}

MainLoop::MainLoop() = default;
MainLoop::~MainLoop() = default;

bool MainLoop::isMainThread() const { return onInitialThread(); }

void MainLoop::armForgottenCheck() {
  if (attendance_->checkArmed.exchange(true)) return;
  internal::runAt(std::chrono::steady_clock::now() + kForgottenLoopAfter,
                  [attendance = attendance_] {
                    if (attendance->ran.load(std::memory_order_relaxed)) return;
                    if (g_installed.load(std::memory_order_acquire) != nullptr) return;
                    consoleLog().warn("{}", kForgottenLoopWarning);
                  });
}

void MainLoop::post(std::function<void()> call, bool wait) {
  if (!call) return;
  if (wait && isMainThread()) {
    call();
    return;
  }
  // One relaxed load per post once the check is armed.
  if (!attendance_->checkArmed.load(std::memory_order_relaxed)) armForgottenCheck();
  if (!wait) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
    wake_.notify_one();
    return;
  }
  std::promise<void> ran;
  std::future<void> done = ran.get_future();
  {
    std::lock_guard lock(mutex_);
    calls_.push_back([&call, &ran] {
      call();
      ran.set_value();
    });
    wake_.notify_one();
  }
  done.wait();
}

bool MainLoop::runOne(std::unique_lock<std::mutex>& lock) {
  if (calls_.empty()) return false;
  std::function<void()> call = std::move(calls_.front());
  calls_.pop_front();
  lock.unlock();
  call();
  call = nullptr;  // whatever the call held is let go before the next one runs
  lock.lock();
  return true;
}

void MainLoop::run() {
  noteRun();
  std::unique_lock lock(mutex_);
  while (!stopRequested_) {
    if (!runOne(lock)) wake_.wait(lock, [this] { return stopRequested_ || !calls_.empty(); });
  }
  stopRequested_ = false;
}

void MainLoop::stop() {
  std::lock_guard lock(mutex_);
  stopRequested_ = true;
  wake_.notify_all();
}

bool MainLoop::runUntil(const std::function<bool()>& done, double timeoutSeconds) {
  noteRun();
  const auto deadline = deadlineAfter(timeoutSeconds);
  std::unique_lock lock(mutex_);
  for (;;) {
    lock.unlock();
    if (done()) return true;
    lock.lock();
    if (runOne(lock)) continue;
    if (std::chrono::steady_clock::now() >= deadline) break;
    const auto sliceEnd = std::min(deadline, std::chrono::steady_clock::now() + kConditionSlice);
    wake_.wait_until(lock, sliceEnd, [this] { return !calls_.empty(); });
  }
  lock.unlock();
  return done();
}

std::size_t MainLoop::processPending() {
  noteRun();
  std::unique_lock lock(mutex_);
  std::size_t pending = calls_.size();
  std::size_t ran = 0;
  while (ran < pending && runOne(lock)) ++ran;
  return ran;
}

MainLoop& mainLoop() {
  static auto* loop = new MainLoop;
  return *loop;
}

IMainThread& mainThread() {
  IMainThread* installed = g_installed.load(std::memory_order_acquire);
  return installed ? *installed : mainLoop();
}

void setMainThread(std::shared_ptr<IMainThread> dispatcher) {
  if (!dispatcher) return;
  // Kept for the rest of the process: posted calls may still be reaching the old one.
  static auto* kept = new std::deque<std::shared_ptr<IMainThread>>;
  static std::mutex keptMutex;
  std::lock_guard lock(keptMutex);
  kept->push_back(dispatcher);
  g_installed.store(dispatcher.get(), std::memory_order_release);
}

void runInBackground(std::function<void()> call) {
  if (!call) return;
  // Never destroyed: its threads may still run while the process exits.
  static auto* threads = new internal::ThreadSet(internal::ThreadSet::Joining::kAtOnce);
  // What the call holds goes on its thread, before the timer thread joins it.
  threads->start([call = std::move(call)]() mutable {
    call();
    call = nullptr;
  });
}

}  // namespace xr
