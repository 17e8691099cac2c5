#include "xrfoundation/platform/operation.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <string>
#include <thread>

#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/platform_exception.h"
#include "xrfoundation/platform/thread_set_internal.h"

namespace xr {

namespace {
// A worker with nothing to do for this long leaves; the next ready work starts a new one.
constexpr auto kIdleWorkerTimeout = std::chrono::seconds(5);
// Up to this many workers start as soon as ready work waits for one. Beyond them a worker
// is added only when the queue has made no progress for kStarvationCheck: the workers it has
// are then blocked (a composite waiting on its sub-tasks, say), and more threads would only
// compete for the cores when they are not.
const int kEagerWorkers = std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
constexpr auto kStarvationCheck = std::chrono::milliseconds(10);

// The queue whose operation the calling worker thread runs, and how deep it is in blocking
// waits; only the outermost wait counts.
thread_local OperationQueueState* tl_runningQueue = nullptr;
thread_local int tl_blockingDepth = 0;
}  // namespace

struct OperationQueueState : std::enable_shared_from_this<OperationQueueState> {
  explicit OperationQueueState(internal::ThreadSet::Joining joining) : threads(joining) {}

  mutable std::mutex mutex;
  std::condition_variable work;
  std::condition_variable watch;
  std::condition_variable drained;
  std::deque<std::shared_ptr<Operation>> ready;                        // guarded by mutex
  std::unordered_map<Operation*, std::shared_ptr<Operation>> members;  // guarded by mutex
  std::atomic<int> maxWorkers{OperationQueue::kUnlimited};             // written under mutex
  int workers = 0;   // started and not yet left; guarded by mutex
  int idle = 0;      // waiting for work; guarded by mutex
  int starting = 0;  // started, not yet looking for work; guarded by mutex
  int busy = 0;      // running an operation; guarded by mutex
  // Busy, but blocked waiting for other work. Changed without the mutex, so that a wait costs
  // the queue nothing when no work is waiting; readyCount mirrors ready.size() for that test.
  std::atomic<int> blocked{0};
  std::atomic<std::size_t> readyCount{0};
  std::uint64_t dequeued = 0;    // operations taken so far; guarded by mutex
  bool watchdogRunning = false;  // guarded by mutex
  bool shuttingDown = false;     // guarded by mutex
  // The workers and the watchdog; the destructor joins them all, and those of the shared
  // queue, which is never destroyed, are joined as they leave.
  internal::ThreadSet threads;

  // The cap counts the operations that run and are not blocked waiting for other work.
  bool mayStartOperation() const { return maxWorkers < 0 || busy - blocked < maxWorkers; }
  bool mayAddWorker() const { return maxWorkers < 0 || workers - blocked < maxWorkers; }
  bool needsWorker() const {
    return static_cast<int>(ready.size()) > idle + starting && mayAddWorker();
  }

  void enqueueReady(std::shared_ptr<Operation> operation) {
    std::lock_guard lock(mutex);
    ready.push_back(std::move(operation));
    readyCount.store(ready.size());
    dispatch();
  }

  // Finds a thread for ready work: an idle worker, else a new one (at once up to the eager
  // count of unblocked workers, else through the watchdog). mutex held.
  void dispatch() {
    if (!needsWorker()) {
      work.notify_one();
    } else if (workers - blocked < kEagerWorkers) {
      startWorker();
    } else if (!watchdogRunning) {
      startWatchdog();
    }
  }

  // The increment and the ready count are both sequentially consistent: either this wait sees
  // the waiting work, or the enqueuer's dispatch() sees the blocked worker.
  // An uncapped queue needs no count: its watchdog adds workers when the busy ones block.
  // Answers whether the wait was counted.
  bool enterBlockingWait() {
    if (maxWorkers.load() < 0) return false;
    blocked.fetch_add(1);
    if (readyCount.load() == 0) return true;
    std::lock_guard lock(mutex);
    if (!ready.empty()) dispatch();
    return true;
  }

  void leaveBlockingWait() { blocked.fetch_sub(1); }

  void startWorker() {  // mutex held
    ++workers;
    ++starting;
    threads.start([self = shared_from_this()] { self->workerLoop(); });
  }

  void startWatchdog() {  // mutex held
    watchdogRunning = true;
    threads.start([self = shared_from_this()] { self->watchdogLoop(); });
  }

  void workerLoop() {
    std::unique_lock lock(mutex);
    --starting;
    for (;;) {
      if (!ready.empty() && mayStartOperation()) {
        std::shared_ptr<Operation> operation = std::move(ready.front());
        ready.pop_front();
        readyCount.store(ready.size());
        ++dequeued;
        ++busy;
        lock.unlock();
        tl_runningQueue = this;
        operation->runOnWorker();
        tl_runningQueue = nullptr;
        lock.lock();
        --busy;
        members.erase(operation.get());
        lock.unlock();
        operation.reset();  // the operation may be destroyed here, outside the queue's lock
        lock.lock();
        continue;
      }
      if (shuttingDown) break;
      ++idle;
      const bool woken = work.wait_for(lock, kIdleWorkerTimeout, [this] {
        return (!ready.empty() && mayStartOperation()) || shuttingDown;
      });
      --idle;
      if (!woken) break;
    }
    --workers;
    if (workers == 0 && !watchdogRunning) drained.notify_all();
  }

  // Adds a worker whenever ready work has waited a whole check interval with no operation
  // taken; leaves once nothing is waiting.
  void watchdogLoop() {
    std::unique_lock lock(mutex);
    std::uint64_t seen = dequeued;
    while (!shuttingDown && needsWorker()) {
      watch.wait_for(lock, kStarvationCheck, [this] { return shuttingDown; });
      if (shuttingDown) break;
      if (dequeued == seen && needsWorker()) startWorker();
      seen = dequeued;
    }
    watchdogRunning = false;
    if (workers == 0) drained.notify_all();
  }
};

ScopedBlockingWait::ScopedBlockingWait() {
  if (!tl_runningQueue || tl_blockingDepth++ > 0) return;
  if (tl_runningQueue->enterBlockingWait()) queue_ = tl_runningQueue;
}

ScopedBlockingWait::~ScopedBlockingWait() {
  if (!tl_runningQueue) return;
  --tl_blockingDepth;
  if (queue_) queue_->leaveBlockingWait();
}

Operation::Operation() = default;

// A never-finished operation (held, or dropped before its queue ran it) leaves its
// dependencies here, so that an operation that never finishes keeps nothing of it.
Operation::~Operation() { leaveDependencies(); }

void Operation::leaveDependencies() {
  std::vector<std::shared_ptr<Operation>> dependencies;
  {
    std::lock_guard lock(mutex_);
    dependencies = dependencies_;
  }
  for (const auto& dependency : dependencies) {
    std::lock_guard lock(dependency->mutex_);
    dependency->dependents_.erase(this);
  }
}

void Operation::addDependency(const std::shared_ptr<Operation>& dependency) {
  if (!dependency || dependency.get() == this) return;
  {
    std::lock_guard lock(mutex_);
    if (std::find(dependencies_.begin(), dependencies_.end(), dependency) != dependencies_.end())
      return;
    dependencies_.push_back(dependency);
  }
  {
    std::lock_guard lock(dependency->mutex_);
    dependency->dependents_[this] = weak_from_this();
  }
  std::unique_lock lock(mutex_);
  becameReadyIfSo(lock);
}

void Operation::removeDependency(const std::shared_ptr<Operation>& dependency) {
  if (!dependency) return;
  {
    std::lock_guard lock(mutex_);
    auto found = std::find(dependencies_.begin(), dependencies_.end(), dependency);
    if (found == dependencies_.end()) return;
    dependencies_.erase(found);
  }
  {
    std::lock_guard lock(dependency->mutex_);
    dependency->dependents_.erase(this);
  }
  std::unique_lock lock(mutex_);
  becameReadyIfSo(lock);
}

bool Operation::isReady() const {
  if (isCancelled()) return true;
  std::lock_guard lock(mutex_);
  return std::all_of(dependencies_.begin(), dependencies_.end(),
                     [](const auto& dependency) { return dependency->isFinished(); });
}

void Operation::cancel() {
  cancelled_.store(true);
  std::unique_lock lock(mutex_);
  becameReadyIfSo(lock);
}

void Operation::dependencyFinished() {
  std::unique_lock lock(mutex_);
  becameReadyIfSo(lock);
}

// Hands the operation to its queue's ready list once, when it is in a queue and ready.
void Operation::becameReadyIfSo(std::unique_lock<std::mutex>& lock) {
  if (enqueuedReady_ || isFinished()) return;
  std::shared_ptr<OperationQueueState> queue = queue_.lock();
  if (!queue) return;
  const bool ready =
      isCancelled() || std::all_of(dependencies_.begin(), dependencies_.end(),
                                   [](const auto& dependency) { return dependency->isFinished(); });
  if (!ready) return;
  enqueuedReady_ = true;
  lock.unlock();
  queue->enqueueReady(shared_from_this());
}

void Operation::setCompletionBlock(std::function<void()> completion) {
  std::lock_guard lock(mutex_);
  completion_ = std::move(completion);
}

void Operation::waitUntilFinished() {
  {
    std::lock_guard lock(mutex_);
    if (completed_) return;
  }
  ScopedBlockingWait blocking;
  std::unique_lock lock(mutex_);
  finishedCondition_.wait(lock, [this] { return completed_; });
}

void Operation::runOnWorker() {
  // Executing is raised before the claim, so a canceller that finds the operation not
  // executing knows that main() has not begun; the claim settles the race with one that
  // looked just before.
  executing_.store(true);  // sequentially consistent with cancel()'s store and the read below
  // The cancel state is read before the claim: a canceller that claims stores its cancel after
  // its claim, so one that lost the claim to this worker must not stop the work it left to run.
  const bool cancelledFirst = cancelled_.load();
  StartClaim open = StartClaim::kOpen;
  const bool claimed = startClaim_.compare_exchange_strong(open, StartClaim::kWorker);
  if (claimed && !cancelledFirst) runMain();
  finish();
}

std::optional<std::string> Operation::runMainContained() {
  try {
    main();
    return std::nullopt;
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "unknown exception";
  }
}

void Operation::runMain() {
  // Logged outside the handler, so that logging cannot throw from inside it. A worker thread
  // has nobody to hand the exception to: letting it go would end the process.
  if (const auto escaped = runMainContained()) {
    consoleLog().error("Operation {} failed, its work threw: {}", demangledTypeName(typeid(*this)),
                       *escaped);
  }
}

bool Operation::claimBeforeStart() {
  StartClaim open = StartClaim::kOpen;
  return startClaim_.compare_exchange_strong(open, StartClaim::kCanceller);
}

bool Operation::claimedBeforeStart() const { return startClaim_.load() == StartClaim::kCanceller; }

void Operation::finish() {
  std::function<void()> completion;
  std::unordered_map<Operation*, std::weak_ptr<Operation>> dependents;
  {
    std::lock_guard lock(mutex_);
    finished_.store(true, std::memory_order_release);
    executing_.store(false, std::memory_order_release);
    completion = std::move(completion_);
    completion_ = nullptr;
    dependents.swap(dependents_);
  }
  leaveDependencies();
  for (auto& [raw, weak] : dependents)
    if (auto dependent = weak.lock()) dependent->dependencyFinished();
  if (completion) completion();
  completion = nullptr;  // a callable holding its operation lets go of it here
  {
    std::lock_guard lock(mutex_);
    completed_ = true;
  }
  finishedCondition_.notify_all();
}

OperationQueue::OperationQueue()
    : OperationQueue(
          std::make_shared<OperationQueueState>(internal::ThreadSet::Joining::kByOwner)) {}

OperationQueue::OperationQueue(std::shared_ptr<OperationQueueState> state)
    : state_(std::move(state)) {}

OperationQueue::~OperationQueue() {
  {
    std::unique_lock lock(state_->mutex);
    state_->shuttingDown = true;
    if (state_->workers == 0 && !state_->ready.empty()) state_->startWorker();
    state_->work.notify_all();
    state_->watch.notify_all();
    state_->drained.wait(lock, [this] { return state_->workers == 0 && !state_->watchdogRunning; });
    state_->members.clear();
  }
  // Past their loops, the threads may still be ending.
  state_->threads.joinAll();
}

void OperationQueue::addOperation(const std::shared_ptr<Operation>& operation) {
  if (!operation) return;
  {
    std::lock_guard lock(operation->mutex_);
    if (!operation->queue_.expired() || operation->isFinished()) return;
    operation->queue_ = state_;
  }
  {
    std::lock_guard lock(state_->mutex);
    state_->members.emplace(operation.get(), operation);
  }
  std::unique_lock lock(operation->mutex_);
  operation->becameReadyIfSo(lock);
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
  if (count == 0 || count < kUnlimited) return;
  std::lock_guard lock(state_->mutex);
  state_->maxWorkers = count;
  state_->work.notify_all();  // a raised cap may let idle workers start waiting work
  while (state_->needsWorker() && state_->workers - state_->blocked < kEagerWorkers)
    state_->startWorker();
  if (state_->needsWorker() && !state_->watchdogRunning) state_->startWatchdog();
}

int OperationQueue::maxConcurrentOperationCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->maxWorkers;
}

std::size_t OperationQueue::operationCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->members.size();
}

std::size_t OperationQueue::workerCount() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<std::size_t>(state_->workers);
}

OperationQueue& OperationQueue::shared() {
  static auto* queue = new OperationQueue(
      std::make_shared<OperationQueueState>(internal::ThreadSet::Joining::kAtOnce));
  return *queue;
}

}  // namespace xr
