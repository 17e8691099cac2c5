// platform/operation.h: units of work run by an OperationQueue on its worker threads.
// An operation runs main() once every dependency has finished; cancel() makes it ready at
// once and its queue then retires it without running main(). A completion callable runs once,
// after the operation has become finished, on the thread that finished it. Operations are
// shared (make them with std::make_shared); every operation is usable from any thread.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

class OperationQueue;
struct OperationQueueState;

class XR_EXPORT Operation : public std::enable_shared_from_this<Operation> {
 public:
  Operation();
  virtual ~Operation();
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  // Adding an operation that is already a dependency, or this one itself, changes nothing.
  void addDependency(const std::shared_ptr<Operation>& dependency);
  void removeDependency(const std::shared_ptr<Operation>& dependency);

  virtual void cancel();
  bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }
  bool isExecuting() const { return executing_.load(std::memory_order_acquire); }
  bool isFinished() const { return finished_.load(std::memory_order_acquire); }
  // Every dependency has finished, or the operation is cancelled.
  bool isReady() const;

  // Replaces the completion callable; an empty one removes it.
  void setCompletionBlock(std::function<void()> completion);

  // Blocks until the operation has finished and its completion callable has returned.
  void waitUntilFinished();

  // 0.0 lowest to 1.0 highest; kept for the application, the queue schedules in order.
  void setThreadPriority(double priority) { threadPriority_.store(priority); }
  double threadPriority() const { return threadPriority_.load(); }

 protected:
  // The work, run on a worker thread. The default does nothing.
  virtual void main() {}

 private:
  friend class OperationQueue;
  friend struct OperationQueueState;

  void dependencyFinished();
  void becameReadyIfSo(std::unique_lock<std::mutex>& lock);
  void runOnWorker();  // called by the queue: main() unless cancelled, then finish
  void finish();

  mutable std::mutex mutex_;
  std::condition_variable finishedCondition_;
  std::vector<std::shared_ptr<Operation>> dependencies_;  // guarded by mutex_
  std::size_t unfinishedDependencies_ = 0;                // guarded by mutex_
  // Operations waiting on this one, by identity; weak so that a held dependent that is
  // dropped does not live on here.
  std::unordered_map<Operation*, std::weak_ptr<Operation>> dependents_;  // guarded by mutex_
  std::function<void()> completion_;                                     // guarded by mutex_
  std::weak_ptr<OperationQueueState> queue_;                             // guarded by mutex_
  bool enqueuedReady_ = false;  // handed to the queue's ready list; guarded by mutex_
  bool completed_ = false;      // completion callable has returned; guarded by mutex_
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> executing_{false};
  std::atomic<bool> finished_{false};
  std::atomic<double> threadPriority_{0.5};
};

// Runs operations on worker threads. Workers are added as ready work needs them (operations
// held by unfinished dependencies take no thread), so work that blocks waiting on other work
// of the same queue never starves it; setMaxConcurrentOperationCount() bounds them. Idle
// workers leave after a while. Destroying a queue waits for the ready operations to be run
// or retired; operations still held by dependencies are let go without running.
class XR_EXPORT OperationQueue {
 public:
  static constexpr int kUnlimited = -1;

  OperationQueue();
  ~OperationQueue();
  OperationQueue(const OperationQueue&) = delete;
  OperationQueue& operator=(const OperationQueue&) = delete;

  // Adding an operation twice, or one that has finished, changes nothing.
  void addOperation(const std::shared_ptr<Operation>& operation);
  void setMaxConcurrentOperationCount(int count);  // kUnlimited, or 1 and more
  int maxConcurrentOperationCount() const;
  std::size_t operationCount() const;  // added and not yet finished
  std::size_t workerCount() const;

  // A process-wide queue, made on first use and never destroyed.
  static OperationQueue& shared();

 private:
  std::shared_ptr<OperationQueueState> state_;
};

}  // namespace xr
