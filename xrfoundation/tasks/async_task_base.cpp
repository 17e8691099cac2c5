#include "xrfoundation/tasks/async_task_base.h"

#include <chrono>
#include <cmath>
#include <exception>
#include <list>
#include <unordered_map>

#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/platform_exception.h"
#include "xrfoundation/tasks/task_text_internal.h"

namespace xr {

namespace {

std::atomic<int32_t> gs_taskNumber{0};  // last task number given out
std::atomic<int32_t> gs_taskCount{0};   // task objects constructed and not yet destroyed

// fireCompletedEvent waits this long for the completion signal to be free.
constexpr double kCompletedSignalWaitSeconds = 1.0;

// The registry keeps its tasks in construction order and finds them by identity in constant
// time, so that thousands of live tasks cost nothing per removal.
struct TaskRegistry {
  std::recursive_mutex mutex;
  std::list<std::shared_ptr<AsyncTaskBase>> tasks;  // guarded by mutex
  std::unordered_multimap<const AsyncTaskBase*, std::list<std::shared_ptr<AsyncTaskBase>>::iterator>
      index;  // guarded by mutex
};

TaskRegistry& gs_arrTask() {
  static auto* registry = new TaskRegistry;
  return *registry;
}

}  // namespace

const std::shared_ptr<Operation>& g_op() {
  // Made before the first task (every construction asks for it) and never destroyed.
  static auto* hold = new std::shared_ptr<Operation>(std::make_shared<Operation>());
  return *hold;
}

int32_t lastTaskNumber() { return gs_taskNumber.load(); }
int32_t liveTaskCount() { return gs_taskCount.load(); }

void addTaskToGlobalArray(const std::shared_ptr<AsyncTaskBase>& task) {
  if (!task) return;
  TaskRegistry& registry = gs_arrTask();
  std::lock_guard lock(registry.mutex);
  registry.index.emplace(task.get(), registry.tasks.insert(registry.tasks.end(), task));
}

void removeTaskFromGlobalArray(const std::shared_ptr<AsyncTaskBase>& task) {
  if (!task) return;
  TaskRegistry& registry = gs_arrTask();
  std::lock_guard lock(registry.mutex);
  auto [begin, end] = registry.index.equal_range(task.get());
  for (auto it = begin; it != end; ++it) registry.tasks.erase(it->second);
  registry.index.erase(begin, end);
  consoleLog().info("(--)finishedTask, taskNumber({}), left count({})", task->taskNumber(),
                    static_cast<int64_t>(registry.tasks.size()));
}

int32_t printLeftTask() {
  TaskRegistry& registry = gs_arrTask();
  std::lock_guard lock(registry.mutex);
  for (const auto& task : registry.tasks) {
    // Dereferenced apart from typeid, which clang warns would evaluate the call inside it.
    const AsyncTaskBase& live = *task;
    consoleLog().info("left task:[{}], {}", demangledTypeName(typeid(live)), task->description());
  }
  return static_cast<int32_t>(registry.tasks.size());
}

std::vector<std::shared_ptr<AsyncTaskBase>> registeredTasks() {
  TaskRegistry& registry = gs_arrTask();
  std::lock_guard lock(registry.mutex);
  return {registry.tasks.begin(), registry.tasks.end()};
}

std::shared_ptr<AsyncTaskBase> AsyncTaskBase::createWithTaskName(std::optional<std::string> name) {
  auto task = create();
  task->setTaskName(std::move(name));
  return task;
}

AsyncTaskBase::AsyncTaskBase(Token)
    : delegateChain_(std::make_unique<DelegateChain<IAsyncTaskDelegate>>()) {
  g_op();  // the process-wide state exists before the first task
}

// The construction steps that need the task to be shared already.
void AsyncTaskBase::initTask() {
  addDependency(g_op());  // the hold
  taskNumber_ = gs_taskNumber.fetch_add(1) + 1;
  const int32_t count = gs_taskCount.fetch_add(1) + 1;
  consoleLog().info("(+)AsyncTask number({}), task left count:{}", taskNumber_, count);
  delegateChain_->setLastDelegate(std::static_pointer_cast<IDelegate>(self()), true);
  createCondition();
  setTaskResult(TaskResult::taskUnstarted());
  // The queue holds an operation while it runs and completes it, so the completion step
  // needs no strong reference of its own; a weak one lets a task that never reaches a queue
  // be freed when its holders let go.
  setCompletionBlock([weak = std::weak_ptr<AsyncTaskBase>(self())] {
    if (auto task = weak.lock()) task->completionStep();
  });
  addTaskToGlobalArray(self());
}

AsyncTaskBase::~AsyncTaskBase() {
  const int32_t count = gs_taskCount.fetch_sub(1) - 1;
  consoleLog().info("(-)AsyncTask number({}), task left count:{},taskName({})", taskNumber_, count,
                    textOrNull(taskName_.get()));
}

void AsyncTaskBase::completionStep() {
  taskFinished_.store(true);
  fireCompletedEvent();
  auto completions = arrCompletionBlock_.with([](auto& list) {
    auto taken = std::move(list);
    list.emplace();  // emptied: later additions are never called
    return taken;
  });
  if (completions) {
    // A task claimed by cancel() before it began failed, even if the cancel has not yet
    // stored that.
    const bool success = finishedResult_.load() && !claimedBeforeStart();
    for (auto& completion : *completions) completion(success);
  }
  std::shared_ptr<TaskResult> result = taskResult();
  if (!result) {
    consoleLog().warn("unexpected({})...{}", taskNumber_, textOrNull(taskName()));
  } else if (!result->resultIs("unstarted")) {
    sendFinished(result);
  }
}

void AsyncTaskBase::sendFinished(const std::shared_ptr<TaskResult>& result) {
  std::lock_guard lock(eventLock_);
  if (finishedSent_.exchange(true)) return;
  delegateChain_->call(&ITaskFinishedDelegate::taskFinished,
                       std::static_pointer_cast<IAsyncTask>(self()), result);
}

void AsyncTaskBase::addDelegate(const std::shared_ptr<IDelegate>& observer) {
  delegateChain_->addDelegate(observer);
}
void AsyncTaskBase::addDelegateStraight(const std::shared_ptr<IDelegate>& observer) {
  delegateChain_->addDelegateStraight(observer);
}
void AsyncTaskBase::addDelegateOnMainThread(const std::shared_ptr<IDelegate>& observer) {
  delegateChain_->addDelegateOnMainThread(observer);
}
void AsyncTaskBase::addDelegateCoalesced(const std::shared_ptr<IDelegate>& observer) {
  delegateChain_->addDelegateCoalesced(observer);
}
void AsyncTaskBase::removeDelegate(const IDelegate* observer) {
  delegateChain_->removeDelegate(observer);
}
void AsyncTaskBase::removeAllDelegate() { delegateChain_->removeAllDelegate(); }

std::string AsyncTaskBase::status() const {
  if (Operation::isFinished()) return "Finished";
  if (bExecutingStatus_.load()) return "Executing";
  return "Waiting";
}

void AsyncTaskBase::cancel() {
  if (Operation::isCancelled()) {
    bCancelState_.store(true);
    return;
  }
  // The claim decides between this cancel and a worker about to begin the work: won here,
  // main() never runs, so reporting "canceled" now is true.
  if (claimBeforeStart()) {
    finishedResult_.store(false);
    if (std::function<void()> callback = cancelCallback_.get()) callback();
    sendFinished(TaskResult::taskCancelled());
  } else if (Operation::isExecuting() && !canCancelled_.load()) {
    consoleLog().warn("WARNING: AsyncTask unexpected cancel");
  }
  bCancelState_.store(true);
  Operation::cancel();
}

void AsyncTaskBase::cancelLast() {
  bCancelLast_.store(true);
  cancel();
}

void AsyncTaskBase::openCancelState() {
  if (Operation::isCancelled()) return;
  bCancelState_.store(true);
  Operation::cancel();
}

bool AsyncTaskBase::waitUntilTimeout(double seconds) {
  if (Operation::isFinished()) return true;
  if (!Operation::isExecuting() && (Operation::isCancelled() || bCancelState_.load())) return true;
  std::shared_ptr<ConditionLock> condition;
  {
    std::lock_guard lock(taskLock_);
    condition = conditionLock_;
  }
  if (!condition) return true;
  if (!condition->tryLockWhenCondition(1)) {
    ScopedBlockingWait blocking;  // a composite's worker waiting here leaves its queue's slot
    if (!condition->lockWhenCondition(1, deadlineAfter(seconds))) return false;
  }
  condition->unlockWithCondition(1);  // every other waiter passes too
  return true;
}

void AsyncTaskBase::createCondition() {
  std::lock_guard lock(taskLock_);
  if (!conditionLock_) conditionLock_ = std::make_shared<ConditionLock>(0);
}

void AsyncTaskBase::fireCompletedEvent() {
  std::lock_guard lock(taskLock_);
  if (!conditionLock_ || conditionLock_->condition() == 1) return;
  if (!conditionLock_->lockWhenCondition(0, deadlineAfter(kCompletedSignalWaitSeconds))) return;
  conditionLock_->unlockWithCondition(1);
}

void AsyncTaskBase::fireStartEvent() {
  std::lock_guard lock(eventLock_);
  if (finishedSent_.load()) return;
  delegateChain_->call(&ITaskStartDelegate::taskStart,
                       std::static_pointer_cast<IAsyncTask>(self()));
}

void AsyncTaskBase::fireProgressEvent(double progress) {
  std::lock_guard lock(eventLock_);
  if (finishedSent_.load()) return;
  delegateChain_->call(&ITaskProgressDelegate::taskProgressChanged,
                       std::static_pointer_cast<IAsyncTask>(self()), progress);
}

void AsyncTaskBase::startTask() { removeDependency(g_op()); }

void AsyncTaskBase::startOnQueue(OperationQueue& queue) {
  queue.addOperation(self());
  startTask();
}

void AsyncTaskBase::setUserData(TaskObject object, const std::string& forKey) {
  // The replaced object is released after the lock, in case its destructor reaches the task.
  userDict_.with([&](auto& dict) { std::swap(dict[forKey], object); });
}
TaskObject AsyncTaskBase::userDataForKey(const std::string& key) const {
  return userDict_.with([&](const auto& dict) -> TaskObject {
    auto found = dict.find(key);
    return found == dict.end() ? nullptr : found->second;
  });
}
void AsyncTaskBase::removeUserDataForKey(const std::string& key) {
  TaskObject removed;
  userDict_.with([&](auto& dict) {
    auto found = dict.find(key);
    if (found == dict.end()) return;
    removed = std::move(found->second);
    dict.erase(found);
  });
}
void AsyncTaskBase::addCompletionBlock(std::function<void(bool)> completion) {
  if (!completion) return;
  arrCompletionBlock_.with([&](auto& list) {
    if (!list) list.emplace();
    list->push_back(std::move(completion));
  });
}
void AsyncTaskBase::setTaskPriority(float priority) {
  if (!(priority >= 0.0f && priority <= 1.0f)) return;
  setThreadPriority(priority);
}

void AsyncTaskBase::runMain() {
  const auto escaped = runMainContained();
  if (!escaped) return;
  // The failure is stored and logged like any other.
  consoleLog().error("AsyncTask number({}) failed, its work threw: {}", taskNumber_, *escaped);
  setExecutingStatus(false);
  setFinishedResult(false);
  setFinishedDescription(*escaped);
  setTaskResult(TaskResult::taskFailed(*escaped));
}

std::string AsyncTaskBase::description() const {
  return fmt::format("<{}: {}>", demangledTypeName(typeid(*this)), static_cast<const void*>(this));
}

void AsyncTaskBase::taskStart(const std::shared_ptr<IAsyncTask>&) {}

void AsyncTaskBase::taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) {
  if (isThisTask(task)) progress_.store(progress);
}

void AsyncTaskBase::taskFinished(const std::shared_ptr<IAsyncTask>& task,
                                 const std::shared_ptr<TaskResult>& result) {
  if (!isThisTask(task)) return;
  taskFinished_.store(true);
  setTaskResult(result);
  removeTaskFromGlobalArray(self());
}

void AsyncTaskBase::taskCurrentTaskIndex(const std::shared_ptr<IAsyncTask>&, uint64_t index) {
  consoleLog().info("CurrentTaskIndex({})", index);
}

}  // namespace xr
