// tasks/multi_concurrent_task.h: a task whose work releases all its sub-tasks at once and
// waits until every one has finished. It succeeds only if all succeeded, reports the
// finished fraction as its progress, and lists the sub-tasks that failed. Cancelling it does
// not reach its sub-tasks. Fill the list before startTask(). Made with
// AsyncTaskBase::create<MultiConcurrentTask>(); usable from any thread.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "xrfoundation/tasks/async_task_base.h"

namespace xr {

class MultiConcurrentTask : public AsyncTaskBase {
 public:
  explicit MultiConcurrentTask(Token token);
  ~MultiConcurrentTask() override;

  // Refused (false) once the composite has finished, or for null.
  bool insertHeadTask(std::shared_ptr<IAsyncTask> task);
  bool appendTailTask(std::shared_ptr<IAsyncTask> task);
  std::vector<std::shared_ptr<IAsyncTask>> tasks() const;
  // The sub-tasks whose finishedResult is false, in list order.
  std::vector<std::shared_ptr<IAsyncTask>> failedTask() const;
  std::optional<std::vector<std::shared_ptr<IAsyncTask>>> getFailedTask() const override {
    return failedTask();
  }

  using AsyncTaskBase::taskFinished;
  void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                    const std::shared_ptr<TaskResult>& result) override;

 protected:
  void main() override;

 private:
  mutable std::mutex listMutex_;
  std::vector<std::shared_ptr<IAsyncTask>> arrTask_;  // guarded by listMutex_
  std::atomic<int32_t> finishedCount_{0};
};

}  // namespace xr
