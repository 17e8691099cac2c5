#include "xrfoundation/tasks/async_task_base.h"

#include <chrono>
#include <cmath>
#include <list>
#include <unordered_map>

#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/platform_exception.h"

namespace xr {

std::atomic<int32_t> gs_taskNumber{0};
std::atomic<int32_t> gs_taskCount{0};

namespace {

// fireCompletedEvent waits this long for the completion signal to be free.
constexpr double kCompletedSignalWaitSeconds = 1.0;

std::string textOrNull(const std::optional<std::string>& text) {
  return text ? *text : std::string(kNullText);
}

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
  delegateChain_->setLastDelegate(std::static_pointer_cast<IDelegate>(self()));
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
  std::optional<std::string> name;
  {
    std::lock_guard lock(fieldsMutex_);
    name = taskName_;
  }
  consoleLog().info("(-)AsyncTask number({}), task left count:{},taskName({})", taskNumber_, count,
                    textOrNull(name));
}

void AsyncTaskBase::completionStep() {
  taskFinished_.store(true);
  fireCompletedEvent();
  std::optional<std::vector<std::function<void(bool)>>> completions;
  {
    std::lock_guard lock(fieldsMutex_);
    if (arrCompletionBlock_) {
      completions = std::move(arrCompletionBlock_);
      arrCompletionBlock_.emplace();  // emptied: later additions are never called
    }
  }
  if (completions) {
    const bool success = finishedResult_.load();
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
  const bool executing = Operation::isExecuting();
  if (executing && !canCancelled_.load()) {
    consoleLog().warn("WARNING: AsyncTask unexpected cancel");
  } else if (!executing && !Operation::isFinished() && !cancelledUnbegun_.exchange(true)) {
    // Not begun: the task reports its end now, since its work will never run.
    finishedResult_.store(false);
    std::function<void()> callback;
    {
      std::lock_guard lock(fieldsMutex_);
      callback = cancelCallback_;
    }
    if (callback) callback();
    sendFinished(TaskResult::taskCancelled());
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
  if (!condition->lockWhenCondition(1, deadlineAfter(seconds))) return false;
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
  delegateChain_->call(&ITaskStartDelegate::taskStart,
                       std::static_pointer_cast<IAsyncTask>(self()));
}

void AsyncTaskBase::fireProgressEvent(double progress) {
  delegateChain_->call(&ITaskProgressDelegate::taskProgressChanged,
                       std::static_pointer_cast<IAsyncTask>(self()), progress);
}

void AsyncTaskBase::startTask() { removeDependency(g_op()); }

std::shared_ptr<TaskResult> AsyncTaskBase::taskResult() const {
  std::lock_guard lock(fieldsMutex_);
  return taskResult_;
}
void AsyncTaskBase::setTaskResult(std::shared_ptr<TaskResult> result) {
  std::lock_guard lock(fieldsMutex_);
  taskResult_ = std::move(result);
}
TaskObject AsyncTaskBase::associatedItem() const {
  std::lock_guard lock(fieldsMutex_);
  return associatedItem_;
}
void AsyncTaskBase::setAssociatedItem(TaskObject item) {
  std::lock_guard lock(fieldsMutex_);
  associatedItem_ = std::move(item);
}
void AsyncTaskBase::setUserData(TaskObject object, const std::string& forKey) {
  std::lock_guard lock(fieldsMutex_);
  userDict_[forKey] = std::move(object);
}
TaskObject AsyncTaskBase::userDataForKey(const std::string& key) const {
  std::lock_guard lock(fieldsMutex_);
  auto found = userDict_.find(key);
  return found == userDict_.end() ? nullptr : found->second;
}
void AsyncTaskBase::removeUserDataForKey(const std::string& key) {
  std::lock_guard lock(fieldsMutex_);
  userDict_.erase(key);
}
std::optional<std::string> AsyncTaskBase::finishedDescription() const {
  std::lock_guard lock(fieldsMutex_);
  return finishedDescription_;
}
void AsyncTaskBase::setFinishedDescription(std::optional<std::string> description) {
  std::lock_guard lock(fieldsMutex_);
  finishedDescription_ = std::move(description);
}
TaskObject AsyncTaskBase::userData() const {
  std::lock_guard lock(fieldsMutex_);
  return userData_;
}
void AsyncTaskBase::setUserData(TaskObject object) {
  std::lock_guard lock(fieldsMutex_);
  userData_ = std::move(object);
}
std::optional<std::string> AsyncTaskBase::taskName() const {
  std::lock_guard lock(fieldsMutex_);
  return taskName_;
}
void AsyncTaskBase::setTaskName(std::optional<std::string> name) {
  std::lock_guard lock(fieldsMutex_);
  taskName_ = std::move(name);
}
void AsyncTaskBase::addCompletionBlock(std::function<void(bool)> completion) {
  if (!completion) return;
  std::lock_guard lock(fieldsMutex_);
  if (!arrCompletionBlock_) arrCompletionBlock_.emplace();
  arrCompletionBlock_->push_back(std::move(completion));
}
void AsyncTaskBase::setTaskPriority(float priority) {
  if (!(priority >= 0.0f && priority <= 1.0f)) return;
  setThreadPriority(priority);
}
std::optional<std::string> AsyncTaskBase::taskExecutingTips() const {
  std::lock_guard lock(fieldsMutex_);
  return taskExecutingTips_;
}
void AsyncTaskBase::setTaskExecutingTips(std::optional<std::string> tips) {
  std::lock_guard lock(fieldsMutex_);
  taskExecutingTips_ = std::move(tips);
}
std::optional<std::string> AsyncTaskBase::taskType() const {
  std::lock_guard lock(fieldsMutex_);
  return taskType_;
}
void AsyncTaskBase::setTaskType(std::optional<std::string> type) {
  std::lock_guard lock(fieldsMutex_);
  taskType_ = std::move(type);
}
void AsyncTaskBase::setCancelCallback(std::function<void()> callback) {
  std::lock_guard lock(fieldsMutex_);
  cancelCallback_ = std::move(callback);
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

std::shared_ptr<IAsyncTask> AsyncTaskTransferBase::channelTask() const {
  std::lock_guard lock(channelMutex_);
  return channelTask_;
}
void AsyncTaskTransferBase::setChannelTask(std::shared_ptr<IAsyncTask> task) {
  std::lock_guard lock(channelMutex_);
  channelTask_ = std::move(task);
}

}  // namespace xr
