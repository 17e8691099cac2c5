#include "xrfoundation/tasks/multi_concurrent_task.h"

namespace xr {

MultiConcurrentTask::MultiConcurrentTask(Token token) : CompositeTask(token, true) {}

std::vector<std::shared_ptr<IAsyncTask>> MultiConcurrentTask::failedTask() const {
  std::vector<std::shared_ptr<IAsyncTask>> failed;
  for (const auto& task : tasks())
    if (!task->finishedResult()) failed.push_back(task);
  return failed;
}

void MultiConcurrentTask::main() {
  setExecutingStatus(true);
  const std::vector<std::shared_ptr<IAsyncTask>> list = tasks();
  const auto observer = std::static_pointer_cast<IDelegate>(self());
  // Straight: a sub-task's end is counted on the thread that ends it, before the waits below
  // return, so the fraction it makes leaves before the composite's own finished event.
  for (const auto& task : list) {
    task->addDelegateStraight(observer);
    task->startTask();
  }
  // With nothing to wait for, the whole is done at once.
  if (list.empty()) fireProgressEvent(1.0);
  bool ok = true;
  for (const auto& task : list) {
    task->waitUntilFinished();
    if (!task->finishedResult()) ok = false;
  }
  setFinishedResult(ok);
  setTaskResult(ok ? TaskResult::taskSuccessed() : TaskResult::taskFailed("some subtask failed"));
  setExecutingStatus(false);
}

void MultiConcurrentTask::taskFinished(const std::shared_ptr<IAsyncTask>& task,
                                       const std::shared_ptr<TaskResult>& result) {
  // The composite's own end sends no progress: nothing may follow its finished event.
  if (isThisTask(task)) {
    AsyncTaskBase::taskFinished(task, result);
    return;
  }
  // Sub-tasks end on several threads at once: counting and sending under one lock keeps the
  // fractions rising.
  std::lock_guard lock(countLock_);
  const int32_t finished = finishedCount_.fetch_add(1) + 1;
  const std::size_t total = tasks().size();
  fireProgressEvent(total ? static_cast<double>(finished) / total : 1.0);
}

}  // namespace xr
