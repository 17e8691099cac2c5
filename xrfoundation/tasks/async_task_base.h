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
#include "xrfoundation/platform/condition_lock.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/async_task.h"
#include "xrfoundation/tasks/task_result.h"

namespace xr {

class AsyncTaskBase : public Operation, public IAsyncTask, public IAsyncTaskDelegate {
 public:
  // Only the factory makes tokens, so every task goes through its registration steps.
  class Token {
    Token() = default;
    friend class AsyncTaskBase;
  };

  template <class T = AsyncTaskBase, class... Args>
  static std::shared_ptr<T> create(Args&&... args) {
    static_assert(std::is_base_of_v<AsyncTaskBase, T>);
    auto task = std::make_shared<T>(Token{}, std::forward<Args>(args)...);
    task->initTask();
    return task;
  }
  // initWithTaskName:
  static std::shared_ptr<AsyncTaskBase> createWithTaskName(std::optional<std::string> name);

  explicit AsyncTaskBase(Token);
  ~AsyncTaskBase() override;

  // IDelegateChain, passed to the task's own chain.
  void addDelegate(const std::shared_ptr<IDelegate>& observer) override;
  void addDelegateStraight(const std::shared_ptr<IDelegate>& observer) override;
  void addDelegateOnMainThread(const std::shared_ptr<IDelegate>& observer) override;
  using IDelegateChain::removeDelegate;
  void removeDelegate(const IDelegate* observer) override;
  void removeAllDelegate() override;

  // IAsyncTask
  std::string status() const override;
  bool isFinished() const override { return Operation::isFinished(); }
  bool isExecuting() const override { return Operation::isExecuting(); }
  bool taskFinished() const override { return taskFinished_.load(); }
  bool isCancelled() const override { return Operation::isCancelled(); }
  bool cancelState() const override { return bCancelState_.load(); }
  double progress() const override { return progress_.load(); }
  void cancel() override;
  void cancelLast() override;
  void waitUntilFinished() override { Operation::waitUntilFinished(); }
  [[nodiscard]] bool waitUntilTimeout(double seconds) override;
  std::shared_ptr<TaskResult> taskResult() const override;
  void setTaskResult(std::shared_ptr<TaskResult> result);
  TaskObject associatedItem() const override;
  void setAssociatedItem(TaskObject item) override;
  void setUserData(TaskObject object, const std::string& forKey) override;
  TaskObject userDataForKey(const std::string& key) const override;
  void removeUserDataForKey(const std::string& key) override;
  bool finishedResult() const override { return finishedResult_.load(); }
  void setFinishedResult(bool success) { finishedResult_.store(success); }
  std::optional<std::string> finishedDescription() const override;
  void setFinishedDescription(std::optional<std::string> description);
  TaskObject userData() const override;
  void setUserData(TaskObject object) override;
  void startTask() override;
  bool calcProgress() const override { return calcProgress_.load(); }
  void setCalcProgress(bool counts) override { calcProgress_.store(counts); }
  std::optional<std::string> taskName() const override;
  void setTaskName(std::optional<std::string> name) override;
  void addCompletionBlock(std::function<void(bool)> completion) override;
  // A value below 0.0 or above 1.0 (or NaN) is ignored; others become the operation's
  // thread priority.
  void setTaskPriority(float priority) override;
  bool canCancelled() const override { return canCancelled_.load(); }
  void setCanCancelled(bool can) override { canCancelled_.store(can); }
  std::optional<std::string> taskExecutingTips() const override;
  void setTaskExecutingTips(std::optional<std::string> tips) override;
  std::optional<std::string> taskType() const override;
  void setTaskType(std::optional<std::string> type) override;

  int32_t taskNumber() const { return taskNumber_; }
  // Run when a task that has not begun is cancelled.
  void setCancelCallback(std::function<void()> callback);
  void fireStartEvent();
  // Sends task:progressChanged: with this task and the value through the chain.
  void fireProgressEvent(double progress);
  void fireCompletedEvent();
  // Quiet cancel: no callback, no event, no log.
  void openCancelState();
  void createCondition();
  DelegateChain<IAsyncTaskDelegate>& delegateChain() { return *delegateChain_; }
  // The class name and address, for log lines: "<xr::AsyncTaskBase: 0x...>".
  virtual std::string description() const;

  // The task's own observer handling: it is the last observer of its chain, so this runs
  // on the main thread after every other observer of the same event.
  void taskStart(const std::shared_ptr<IAsyncTask>& task) override;
  void taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) override;
  void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                    const std::shared_ptr<TaskResult>& result) override;
  void taskCurrentTaskIndex(const std::shared_ptr<IAsyncTask>& task, uint64_t index) override;

 protected:
  std::shared_ptr<AsyncTaskBase> self() {
    return std::static_pointer_cast<AsyncTaskBase>(shared_from_this());
  }
  bool isThisTask(const std::shared_ptr<IAsyncTask>& task) const {
    return task.get() == static_cast<const IAsyncTask*>(this);
  }
  void setExecutingStatus(bool executing) { bExecutingStatus_.store(executing); }
  bool executingStatus() const { return bExecutingStatus_.load(); }
  void setTaskFinished(bool finished) { taskFinished_.store(finished); }
  void setProgressValue(double progress) { progress_.store(progress); }
  bool cancelLastRequested() const { return bCancelLast_.load(); }
  void setCancelLastRequested() { bCancelLast_.store(true); }
  void setCancelStateFlag() { bCancelState_.store(true); }

  // Sends the finished event, at most once in the task's life, whichever of cancel() and
  // the completion step comes first.
  void sendFinished(const std::shared_ptr<TaskResult>& result);

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
  std::atomic<bool> finishedSent_{false};      // the finished event has been sent
  std::atomic<bool> cancelledUnbegun_{false};  // cancel() took the not-yet-begun branch

  // Object-valued fields, each read and written whole under fieldsMutex_.
  mutable std::mutex fieldsMutex_;
  std::optional<std::string> finishedDescription_;  // guarded by fieldsMutex_
  TaskObject userData_;                             // guarded by fieldsMutex_
  std::map<std::string, TaskObject> userDict_;      // guarded by fieldsMutex_
  TaskObject associatedItem_;                       // guarded by fieldsMutex_
  std::optional<std::string> taskName_;             // guarded by fieldsMutex_
  std::function<void()> cancelCallback_;            // guarded by fieldsMutex_
  std::optional<std::string> taskExecutingTips_;    // guarded by fieldsMutex_
  std::optional<std::string> taskType_;             // guarded by fieldsMutex_
  std::shared_ptr<TaskResult> taskResult_;          // guarded by fieldsMutex_
  std::optional<std::vector<std::function<void(bool)>>> arrCompletionBlock_;  // fieldsMutex_

  // The task's own re-entrant lock: the creation of the condition lock and the completion
  // signal.
  mutable std::recursive_mutex taskLock_;
};

// A task that moves a file over a socket; the library only tests for the class.
class AsyncTaskTransferBase : public AsyncTaskBase {
 public:
  explicit AsyncTaskTransferBase(Token token) : AsyncTaskBase(token) {}
  int32_t sock() const { return sock_.load(); }
  void setSock(int32_t sock) { sock_.store(sock); }
  int64_t fileSize() const { return fileSize_.load(); }
  void setFileSize(int64_t size) { fileSize_.store(size); }
  std::shared_ptr<IAsyncTask> channelTask() const;
  void setChannelTask(std::shared_ptr<IAsyncTask> task);

 private:
  std::atomic<int32_t> sock_{0};
  std::atomic<int64_t> fileSize_{0};
  mutable std::mutex channelMutex_;
  std::shared_ptr<IAsyncTask> channelTask_;  // guarded by channelMutex_
};

// The process-wide task state. g_op is the hold every new task depends on: an operation that
// is never started and so never finishes.
const std::shared_ptr<Operation>& g_op();
extern std::atomic<int32_t> gs_taskNumber;  // last task number given out
extern std::atomic<int32_t> gs_taskCount;   // task objects constructed and not yet destroyed

// The registry of live tasks, in order of construction; each function holds the registry's
// re-entrant lock for its whole run.
void addTaskToGlobalArray(const std::shared_ptr<AsyncTaskBase>& task);
// Removes every occurrence of the task, then logs the count left.
void removeTaskFromGlobalArray(const std::shared_ptr<AsyncTaskBase>& task);
// Logs a line for each registered task; answers how many there are.
int32_t printLeftTask();
// The registered tasks, in registry order.
std::vector<std::shared_ptr<AsyncTaskBase>> registeredTasks();

}  // namespace xr
