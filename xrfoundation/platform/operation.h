// platform/operation.h: units of work run by an OperationQueue on its worker threads.
// An operation runs main() once every dependency has finished; cancel() makes it ready at
// once and its queue then retires it without running main(). A completion callable runs once,
// after the operation has become finished, on the thread that finished it. Operations are
// shared (make them with std::make_shared); every operation is usable from any thread.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

class OperationQueue;
struct OperationQueueState;

// One unit of work (see the file comment).
class XR_EXPORT Operation : public std::enable_shared_from_this<Operation> {
 public:
  Operation();
  virtual ~Operation();
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  // Makes this operation wait for the dependency to finish. Adding an operation that is
  // already a dependency, or this one itself, changes nothing. Once this operation has
  // finished (or is destroyed), the dependency keeps nothing of it.
  void addDependency(const std::shared_ptr<Operation>& dependency);
  // Stops waiting for the dependency; an operation that is not one is ignored.
  void removeDependency(const std::shared_ptr<Operation>& dependency);

  // Sets the cancelled flag and makes the operation ready; if no worker has taken it up yet
  // (isExecuting()), main() never runs. Work already running is not stopped: it may look at
  // isCancelled().
  virtual void cancel();
  // True once cancel() has been called.
  bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }
  // True while a worker runs the operation (main() or its retirement).
  bool isExecuting() const { return executing_.load(std::memory_order_acquire); }
  // True once the operation has run or been retired.
  bool isFinished() const { return finished_.load(std::memory_order_acquire); }
  // Every dependency has finished, or the operation is cancelled.
  bool isReady() const;

  // Replaces the completion callable; an empty one removes it.
  void setCompletionBlock(std::function<void()> completion);

  // Blocks until the operation has finished and its completion callable has returned. On a
  // queue's worker the wait does not count against that queue's cap (see ScopedBlockingWait).
  void waitUntilFinished();

  // 0.0 lowest to 1.0 highest; kept for the application, the queue schedules in order.
  void setThreadPriority(double priority) { threadPriority_.store(priority); }
  // The value last set; 0.5 by default.
  double threadPriority() const { return threadPriority_.load(); }

 protected:
  // The work, run on a worker thread. The default does nothing.
  virtual void main() {}
  // Runs main(). What escapes it is contained: one line at error level names the operation's
  // class and the exception's what() ("unknown exception" for anything else), and the
  // operation finishes as if main() had returned. A class that reports the failure its own
  // way overrides this.
  virtual void runMain();
  // Runs main() and contains what escapes it: none if it returned, else the exception's
  // what() ("unknown exception" for anything else). The runMain() overrides build on it.
  std::optional<std::string> runMainContained();

  // Settles, once and atomically, that main() will never run: true for the first caller if
  // the worker has not claimed the operation yet (then main() is skipped even if the worker
  // is about to begin); false once the worker has claimed it or another caller won.
  bool claimBeforeStart();
  // True once claimBeforeStart() has won.
  bool claimedBeforeStart() const;

 private:
  friend class OperationQueue;
  friend struct OperationQueueState;

  // Who settled whether main() runs: nobody yet, the worker as it began, or a canceller.
  enum class StartClaim : std::uint8_t { kOpen, kWorker, kCanceller };

  void dependencyFinished();
  void becameReadyIfSo(std::unique_lock<std::mutex>& lock);
  void runOnWorker();  // called by the queue: main() unless cancelled, then finish
  void finish();
  void leaveDependencies();  // unregisters from the dependencies' dependents

  mutable std::mutex mutex_;
  std::condition_variable finishedCondition_;
  std::vector<std::shared_ptr<Operation>> dependencies_;  // guarded by mutex_
  // Operations waiting on this one, by identity; weak so that a held dependent that is
  // dropped does not live on here.
  std::unordered_map<Operation*, std::weak_ptr<Operation>> dependents_;  // guarded by mutex_
  std::function<void()> completion_;                                     // guarded by mutex_
  std::weak_ptr<OperationQueueState> queue_;                             // guarded by mutex_
  bool enqueuedReady_ = false;  // handed to the queue's ready list; guarded by mutex_
  bool completed_ = false;      // completion callable has returned; guarded by mutex_
  std::atomic<StartClaim> startClaim_{StartClaim::kOpen};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> executing_{false};
  std::atomic<bool> finished_{false};
  std::atomic<double> threadPriority_{0.5};
};

// Declares, for its lifetime, that the calling thread blocks waiting for other work. On a
// queue's worker the operation it runs then does not count against the queue's cap, so the
// work waited for can run even on a queue capped at one; the cap applies again once the wait
// ends. Elsewhere it does nothing. Nests; stays on the thread that made it.
class XR_EXPORT ScopedBlockingWait {
 public:
  ScopedBlockingWait();
  ~ScopedBlockingWait();
  ScopedBlockingWait(const ScopedBlockingWait&) = delete;
  ScopedBlockingWait& operator=(const ScopedBlockingWait&) = delete;

 private:
  OperationQueueState* queue_ = nullptr;  // the queue it counted with, if any
};

// Runs operations on worker threads. Workers are added as ready work needs them (operations
// held by unfinished dependencies take no thread), so work that blocks waiting on other work
// of the same queue never starves it. setMaxConcurrentOperationCount() bounds the operations
// that run at once, not counting those blocked in a wait for other work (ScopedBlockingWait:
// Operation::waitUntilFinished and the tasks' waits use it). Idle workers leave after a
// while. Destroying a queue waits for the ready operations to be run or retired, and for its
// threads to end; operations still held by dependencies are let go without running. (On
// Windows, a queue is therefore not destroyed while the loader lock is held, as in a DLL's
// unload: its threads cannot end until the lock is free.)
class XR_EXPORT OperationQueue {
 public:
  // The cap meaning "no cap".
  static constexpr int kUnlimited = -1;

  OperationQueue();
  ~OperationQueue();
  OperationQueue(const OperationQueue&) = delete;
  OperationQueue& operator=(const OperationQueue&) = delete;

  // Adding an operation twice, or one that has finished, changes nothing.
  void addOperation(const std::shared_ptr<Operation>& operation);
  // kUnlimited, or 1 and more; other values are ignored.
  void setMaxConcurrentOperationCount(int count);
  // The cap; kUnlimited by default.
  int maxConcurrentOperationCount() const;
  // Operations added and not yet finished.
  std::size_t operationCount() const;
  // Worker threads alive now, idle ones included.
  std::size_t workerCount() const;

  // A process-wide queue, made on first use and never destroyed.
  static OperationQueue& shared();

 private:
  explicit OperationQueue(std::shared_ptr<OperationQueueState> state);

  std::shared_ptr<OperationQueueState> state_;
};

}  // namespace xr
