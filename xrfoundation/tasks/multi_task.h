// tasks/multi_task.h: a task whose work runs a list of sub-tasks one after another. It stops
// at the first sub-task that fails and cancels the ones after it, combines the progress of
// the sub-tasks that count into one value, and ends with one outcome: "success", "failed"
// (with the failed sub-task's description) or "canceled". Cancelling it cancels its
// sub-tasks from the last to the first; a cancel-command task can be started when it is
// cancelled during a file transfer.
//
// The application submits the composite and every sub-task to an operation queue; the
// composite only releases the sub-tasks' holds, one at a time. Fill the list before
// startTask(). Made with AsyncTaskBase::create<MultiTask>(); usable from any thread.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "xrfoundation/tasks/async_task_base.h"

namespace xr {

class MultiTask : public AsyncTaskBase {
 public:
  explicit MultiTask(Token token);
  ~MultiTask() override;

  bool insertHeadTask(std::shared_ptr<IAsyncTask> task);  // always true (but for null)
  bool appendTailTask(std::shared_ptr<IAsyncTask> task);  // always true (but for null)
  std::vector<std::shared_ptr<IAsyncTask>> tasks() const;
  void setCancelCmdTask(std::shared_ptr<IAsyncTask> task);
  std::shared_ptr<IAsyncTask> cancelCmdTask() const;
  bool lastTaskRegardAsTaskStatus() const { return bLastTaskRegardAsTaskStatus_.load(); }
  void setLastTaskRegardAsTaskStatus(bool regard) { bLastTaskRegardAsTaskStatus_.store(regard); }

  // Registers the composite as a main-thread observer of every sub-task, then releases its
  // own hold. The sub-tasks stay held until the work reaches them.
  void startTask() override;
  void cancel() override;
  // With exactly two sub-tasks, cancels the second and lets the first run on; otherwise
  // cancels the composite. The work then ends "canceled" within about a second.
  void cancelLast() override;
  void cancelCancelTask();

  // The progress share of the counting sub-tasks before `task`: k/n, with 1/n stored in
  // *perTaskPercent when given (0.0 and 1.0 when no sub-task counts).
  double taskBeforeHasFinishedPercent(const std::shared_ptr<IAsyncTask>& task,
                                      double* perTaskPercent) const;

  using AsyncTaskBase::taskFinished;
  void taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) override;
  void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                    const std::shared_ptr<TaskResult>& result) override;

 protected:
  void main() override;

 private:
  // The walk stops and waits on each sub-task in slices of this many seconds, to notice a
  // cancelLast() while a sub-task runs on.
  static constexpr double kSubTaskWaitSeconds = 1.0;

  mutable std::mutex listMutex_;
  std::vector<std::shared_ptr<IAsyncTask>> arrTask_;  // guarded by listMutex_
  std::shared_ptr<IAsyncTask> cancelTask_;            // guarded by listMutex_
  std::atomic<bool> shouldRunCancelTask_{false};
  std::atomic<bool> bLastTaskRegardAsTaskStatus_{false};
};

}  // namespace xr
