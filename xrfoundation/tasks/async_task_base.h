// tasks/async_task_base.h: the base class of every asynchronous task.
//
// A task is created held: it may be put on an OperationQueue at once, but the queue does not
// begin it before startTask() releases the hold. Its work (main(), overridden by the derived
// class) runs on a worker thread; it reports through its delegate chain and stores its
// outcome with setTaskResult() before it returns. Completion is signalled twice: a condition
// lock that any thread can wait on (waitUntilTimeout), and the finished event, sent once,
// which observers normally receive on the main thread. Every live task is numbered, counted
// and kept in a process-wide registry until its finished event has reached the task itself.
//
// Tasks are made by the factory: AsyncTaskBase::create<MyTask>(args...), where MyTask's
// constructor takes an AsyncTaskBase::Token first and passes it on. All operations may be
// called from any thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "xrfoundation/events/delegate_chain.h"
#include "xrfoundation/export.h"
#include "xrfoundation/platform/condition_lock.h"
#include "xrfoundation/platform/guarded.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/async_task.h"
#include "xrfoundation/tasks/task_result.h"

namespace xr {

// The base of every task (see the file comment).
class XR_EXPORT AsyncTaskBase : public Operation, public IAsyncTask, public IAsyncTaskDelegate {
 public:
  // Only the factory makes tokens, so every task goes through its registration steps.
  class Token {
    Token() = default;
    friend class AsyncTaskBase;
  };

  // Makes a held, registered task of class T; args follow the token to T's constructor.
  template <class T = AsyncTaskBase, class... Args>
  static std::shared_ptr<T> create(Args&&... args) {
    static_assert(std::is_base_of_v<AsyncTaskBase, T>);
    auto task = std::make_shared<T>(Token{}, std::forward<Args>(args)...);
    task->initTask();
    return task;
  }
  // A plain task with the given name.
  static std::shared_ptr<AsyncTaskBase> createWithTaskName(std::optional<std::string> name);

  // For the factory only (see Token).
  explicit AsyncTaskBase(Token);
  // Counts the task out and logs it.
  ~AsyncTaskBase() override;

  // IDelegateChain, passed to the task's own chain.
  void addDelegate(const std::shared_ptr<IDelegate>& observer) override;
  void addDelegateStraight(const std::shared_ptr<IDelegate>& observer) override;
  void addDelegateOnMainThread(const std::shared_ptr<IDelegate>& observer) override;
  // Coalesced progress: the observer receives the newest value while one is pending, the
  // last value reported before the end ahead of finished, and nothing after it.
  void addDelegateCoalesced(const std::shared_ptr<IDelegate>& observer) override;
  using IDelegateChain::removeDelegate;
  void removeDelegate(const IDelegate* observer) override;
  void removeAllDelegate() override;

  // IAsyncTask
  std::string status() const override;
  bool isFinished() const override { return Operation::isFinished(); }
  bool isExecuting() const override { return Operation::isExecuting(); }
  bool taskFinished() const override { return taskFinished_.load(); }
  // The operation's cancelled flag: set by cancel() and the quiet cancel, after which work
  // that has not begun never runs.
  bool isCancelled() const override { return Operation::isCancelled(); }
  // True once any cancel was requested, the quiet one included; unlike isCancelled() it is
  // set also when a second cancel() finds the operation cancelled already.
  bool cancelState() const override { return bCancelState_.load(); }
  double progress() const override { return progress_.load(); }
  void cancel() override;
  void cancelLast() override;
  void waitUntilFinished() override { Operation::waitUntilFinished(); }
  [[nodiscard]] bool waitUntilTimeout(double seconds) override;
  std::shared_ptr<TaskResult> taskResult() const override { return taskResult_.get(); }
  // Stores the outcome that the finished event will carry; the work calls it before it
  // returns.
  void setTaskResult(std::shared_ptr<TaskResult> result) { taskResult_.set(std::move(result)); }
  TaskObject associatedItem() const override { return associatedItem_.get(); }
  void setAssociatedItem(TaskObject item) override { associatedItem_.set(std::move(item)); }
  void setUserData(TaskObject object, const std::string& forKey) override;
  TaskObject userDataForKey(const std::string& key) const override;
  void removeUserDataForKey(const std::string& key) override;
  bool finishedResult() const override { return finishedResult_.load(); }
  // Sets the work's success flag (false when it failed).
  void setFinishedResult(bool success) { finishedResult_.store(success); }
  std::optional<std::string> finishedDescription() const override {
    return finishedDescription_.get();
  }
  // Sets the reason of a failure.
  void setFinishedDescription(std::optional<std::string> description) {
    finishedDescription_.set(std::move(description));
  }
  TaskObject userData() const override { return userData_.get(); }
  void setUserData(TaskObject object) override { userData_.set(std::move(object)); }
  void startTask() override;
  // Puts the task on the queue and releases its hold: addOperation() then startTask() in one
  // call. A composite puts its sub-tasks that are on no queue yet on the same queue first.
  virtual void startOnQueue(OperationQueue& queue);
  bool calcProgress() const override { return calcProgress_.load(); }
  void setCalcProgress(bool counts) override { calcProgress_.store(counts); }
  std::optional<std::string> taskName() const override { return taskName_.get(); }
  void setTaskName(std::optional<std::string> name) override { taskName_.set(std::move(name)); }
  void addCompletionBlock(std::function<void(bool)> completion) override;
  // A value below 0.0 or above 1.0 (or NaN) is ignored; others become the operation's
  // thread priority.
  void setTaskPriority(float priority) override;
  // Whether a cancel while the task executes is expected (true by default); it only decides
  // whether such a cancel is logged as unexpected, never whether it is honoured.
  bool canCancelled() const override { return canCancelled_.load(); }
  void setCanCancelled(bool can) override { canCancelled_.store(can); }
  std::optional<std::string> taskExecutingTips() const override { return taskExecutingTips_.get(); }
  void setTaskExecutingTips(std::optional<std::string> tips) override {
    taskExecutingTips_.set(std::move(tips));
  }
  std::optional<std::string> taskType() const override { return taskType_.get(); }
  void setTaskType(std::optional<std::string> type) override { taskType_.set(std::move(type)); }

  // The process-unique number: 1 for the first task constructed, then 2, 3, ...
  int32_t taskNumber() const { return taskNumber_; }
  // Run when a task that has not begun is cancelled.
  void setCancelCallback(std::function<void()> callback) {
    cancelCallback_.set(std::move(callback));
  }
  // Sends task:start: with this task through the chain; once the finished event has been
  // sent, does nothing.
  void fireStartEvent();
  // Sends task:progressChanged: with this task and the value through the chain; once the
  // finished event has been sent, does nothing. So, from whatever threads the work reports,
  // every observer receives the last value reported before the end ahead of finished, and
  // nothing after it.
  void fireProgressEvent(double progress);
  // The task's own chain, for observers of other facets than the registration offers.
  DelegateChain<IAsyncTaskDelegate>& delegateChain() { return *delegateChain_; }
  // The class name and address, for log lines: "<xr::AsyncTaskBase: 0x...>".
  virtual std::string description() const;

  // The task's own observer handling: it is the last observer of its chain, so this runs
  // on the main thread after every other observer of the same event. It receives the events
  // coalesced, so that a task that reports often does not flood the main loop with its own
  // bookkeeping: progress() is the newest value delivered.
  void taskStart(const std::shared_ptr<IAsyncTask>& task) override;
  void taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) override;
  void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                    const std::shared_ptr<TaskResult>& result) override;
  void taskCurrentTaskIndex(const std::shared_ptr<IAsyncTask>& task, uint64_t index) override;

 protected:
  // This task, shared.
  std::shared_ptr<AsyncTaskBase> self() {
    return std::static_pointer_cast<AsyncTaskBase>(shared_from_this());
  }
  // Whether an event names this task.
  bool isThisTask(const std::shared_ptr<IAsyncTask>& task) const {
    return task.get() == static_cast<const IAsyncTask*>(this);
  }
  // Sets or clears the flag that makes the status word "Executing"; the work does it.
  void setExecutingStatus(bool executing) { bExecutingStatus_.store(executing); }
  // The flag set by setExecutingStatus().
  bool executingStatus() const { return bExecutingStatus_.load(); }
  // Marks the task ended (or not); a composite's work does it at its end.
  void setTaskFinished(bool finished) { taskFinished_.store(finished); }
  // Stores the value progress() answers.
  void setProgressValue(double progress) { progress_.store(progress); }
  // True once cancelLast() was called.
  bool cancelLastRequested() const { return bCancelLast_.load(); }
  // Records a cancelLast() request without cancelling.
  void setCancelLastRequested() { bCancelLast_.store(true); }
  // Sets the cancel state without cancelling the operation.
  void setCancelStateFlag() { bCancelState_.store(true); }

  // Sends the finished event, at most once in the task's life, whichever of cancel() and
  // the completion step comes first.
  void sendFinished(const std::shared_ptr<TaskResult>& result);

  // Quiet cancel: sets the cancel state and cancels the operation; no callback, no event,
  // no log.
  void openCancelState();
  // Sets the completion signal (condition 1), waking every waiter.
  void fireCompletedEvent();
  // Makes the completion signal (condition 0) unless it exists.
  void createCondition();

  // Runs main(). What escapes it ends the task failed, described by the exception's what()
  // ("unknown exception" for anything else), with one line at error level.
  void runMain() final;

 private:
  void initTask();
  void completionStep();

  int32_t taskNumber_ = 0;
  std::shared_ptr<ConditionLock> conditionLock_;  // guarded by taskLock_
  std::atomic<bool> finishedResult_{true};
  std::unique_ptr<DelegateChain<IAsyncTaskDelegate>> delegateChain_;
  std::atomic<bool> calcProgress_{false};
  std::atomic<bool> canCancelled_{true};
  std::atomic<double> progress_{0.0};
  std::atomic<bool> taskFinished_{false};
  std::atomic<bool> bExecutingStatus_{false};
  std::atomic<bool> bCancelLast_{false};
  std::atomic<bool> bCancelState_{false};
  std::atomic<bool> finishedSent_{false};  // the finished event has been sent

  // Object-valued fields, each read and written whole.
  Guarded<std::optional<std::string>> finishedDescription_;
  Guarded<TaskObject> userData_;
  Guarded<std::map<std::string, TaskObject>> userDict_;
  Guarded<TaskObject> associatedItem_;
  Guarded<std::optional<std::string>> taskName_;
  Guarded<std::function<void()>> cancelCallback_;
  Guarded<std::optional<std::string>> taskExecutingTips_;
  Guarded<std::optional<std::string>> taskType_;
  Guarded<std::shared_ptr<TaskResult>> taskResult_;
  // Absent until the first addition; emptied for good by the completion step.
  Guarded<std::optional<std::vector<std::function<void(bool)>>>> arrCompletionBlock_;

  // Held while an event walks the chain, so that the finished event is sent either before a
  // start or progress event (which then finds finishedSent_ and is dropped) or after its walk
  // has handed it to every observer. Re-entrant: a straight observer may report again.
  std::recursive_mutex eventLock_;
  // The task's own re-entrant lock: the creation of the condition lock and the completion
  // signal.
  mutable std::recursive_mutex taskLock_;
};

// A task that moves a file over a socket; the library only tests for the class.
class XR_EXPORT AsyncTaskTransferBase : public AsyncTaskBase {
 public:
  // For the factory only (see AsyncTaskBase::Token).
  explicit AsyncTaskTransferBase(Token token) : AsyncTaskBase(token) {}
  // The socket descriptor; 0 unless set.
  int32_t sock() const { return sock_.load(); }
  // Sets the socket descriptor.
  void setSock(int32_t sock) { sock_.store(sock); }
  // The file's size in bytes; 0 unless set.
  int64_t fileSize() const { return fileSize_.load(); }
  // Sets the file's size in bytes.
  void setFileSize(int64_t size) { fileSize_.store(size); }
  // The task of the transfer's channel, or none.
  std::shared_ptr<IAsyncTask> channelTask() const { return channelTask_.get(); }
  // Sets (shares) the task of the transfer's channel.
  void setChannelTask(std::shared_ptr<IAsyncTask> task) { channelTask_.set(std::move(task)); }

 private:
  std::atomic<int32_t> sock_{0};
  std::atomic<int64_t> fileSize_{0};
  Guarded<std::shared_ptr<IAsyncTask>> channelTask_;
};

// The process-wide hold every new task depends on: an operation that is never started and so
// never finishes. A task that starts, finishes or is destroyed leaves nothing in it.
XR_EXPORT const std::shared_ptr<Operation>& g_op();
// The last task number given out; 0 before the first task.
XR_EXPORT int32_t lastTaskNumber();
// Task objects constructed and not yet destroyed.
XR_EXPORT int32_t liveTaskCount();

// The registry of live tasks, in order of construction; each function holds the registry's
// re-entrant lock for its whole run. Appends the task.
XR_EXPORT void addTaskToGlobalArray(const std::shared_ptr<AsyncTaskBase>& task);
// Removes every occurrence of the task, then logs the count left.
XR_EXPORT void removeTaskFromGlobalArray(const std::shared_ptr<AsyncTaskBase>& task);
// Logs a line for each registered task; answers how many there are.
XR_EXPORT int32_t printLeftTask();
// The registered tasks, in registry order.
XR_EXPORT std::vector<std::shared_ptr<AsyncTaskBase>> registeredTasks();

}  // namespace xr
