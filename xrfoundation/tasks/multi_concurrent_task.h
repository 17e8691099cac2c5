// tasks/multi_concurrent_task.h: a task whose work releases all its sub-tasks at once and
// waits until every one has finished. It succeeds only if all succeeded, reports the
// finished fraction as its progress (1.0 at once when it has no sub-task), and lists the
// sub-tasks that failed. Cancelling it does not reach its sub-tasks. Fill the list before
// startTask(). Made with AsyncTaskBase::create<MultiConcurrentTask>(); usable from any thread.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "xrfoundation/export.h"
#include "xrfoundation/tasks/composite_task.h"

namespace xr {

// The concurrent composite (see the file comment). insertHeadTask and appendTailTask refuse
// (false) once the composite has finished.
class XR_EXPORT MultiConcurrentTask : public CompositeTask {
 public:
  // For the factory only (see AsyncTaskBase::Token).
  explicit MultiConcurrentTask(Token token);

  // The sub-tasks whose finishedResult is false, in list order.
  std::vector<std::shared_ptr<IAsyncTask>> failedTask() const;
  // The same list, as the task interface offers it.
  std::optional<std::vector<std::shared_ptr<IAsyncTask>>> getFailedTask() const override {
    return failedTask();
  }

  using AsyncTaskBase::taskFinished;
  // Counts a sub-task's end and sends the finished fraction as the composite's progress, on
  // the thread that ended the sub-task; the composite's own end is the base handling's.
  void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                    const std::shared_ptr<TaskResult>& result) override;

 protected:
  // The work: every sub-task released at once, then waited for.
  void main() override;

 private:
  std::atomic<int32_t> finishedCount_{0};
  // Held while a sub-task's end is counted and sent on. Re-entrant: a straight observer of
  // the composite may end another sub-task (a cancel before it began) from its delivery.
  std::recursive_mutex countLock_;
};

}  // namespace xr
