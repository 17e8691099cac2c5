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
#include <vector>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/guarded.h"
#include "xrfoundation/tasks/composite_task.h"

namespace xr {

// The sequential composite (see the file comment). insertHeadTask and appendTailTask accept
// every non-null task, also once the composite has finished.
class XR_EXPORT MultiTask : public CompositeTask {
 public:
  // For the factory only (see AsyncTaskBase::Token).
  explicit MultiTask(Token token);

  // Stores (shares) the cancel-command task, replacing any earlier one.
  void setCancelCmdTask(std::shared_ptr<IAsyncTask> task) { cancelTask_.set(std::move(task)); }
  // The cancel-command task, or none.
  std::shared_ptr<IAsyncTask> cancelCmdTask() const { return cancelTask_.get(); }
  // Whether the status reads "Waiting" until the last sub-task begins (or one is seen
  // executing); false by default, when the work reads "Executing" from its start.
  bool lastTaskRegardAsTaskStatus() const { return bLastTaskRegardAsTaskStatus_.load(); }
  // Sets lastTaskRegardAsTaskStatus().
  void setLastTaskRegardAsTaskStatus(bool regard) { bLastTaskRegardAsTaskStatus_.store(regard); }

  // Registers the composite as a straight observer of every sub-task (it relays their
  // progress on the reporting thread), then releases its own hold. The sub-tasks stay held until
  // the work reaches them.
  void startTask() override;
  // Cancels the sub-tasks from the last to the first, then the composite; a second cancel
  // only logs a warning.
  void cancel() override;
  // With exactly two sub-tasks, cancels the second and lets the first run on; otherwise
  // cancels the composite. The work then ends "canceled" within about a second.
  void cancelLast() override;
  // Cancels the cancel-command task, if there is one and it is not cancelled already.
  void cancelCancelTask();

  // The progress share of the counting sub-tasks before `task`: k/n, with 1/n stored in
  // *perTaskPercent when given (0.0 and 1.0 when no sub-task counts).
  double taskBeforeHasFinishedPercent(const std::shared_ptr<IAsyncTask>& task,
                                      double* perTaskPercent) const;

  using AsyncTaskBase::taskFinished;
  // Turns a counting sub-task's progress into the composite's and sends it on; runs on the
  // thread that reported it.
  void taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) override;
  // Only the composite's own finished event is handled, by the base.
  void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                    const std::shared_ptr<TaskResult>& result) override;

 protected:
  // The work: the sub-tasks one after another.
  void main() override;

 private:
  // The walk stops and waits on each sub-task in slices of this many seconds, to notice a
  // cancelLast() while a sub-task runs on.
  static constexpr double kSubTaskWaitSeconds = 1.0;

  Guarded<std::shared_ptr<IAsyncTask>> cancelTask_;
  std::atomic<bool> shouldRunCancelTask_{false};
  std::atomic<bool> bLastTaskRegardAsTaskStatus_{false};
};

}  // namespace xr
