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
  for (const auto& task : list) {
    task->addDelegate(observer);
    task->startTask();
  }
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
  const bool own = isThisTask(task);
  if (!own) finishedCount_.fetch_add(1);
  // With no sub-task at all there is nothing left to do: the whole is done.
  const std::size_t total = tasks().size();
  const double fraction = total ? static_cast<double>(finishedCount_.load()) / total : 1.0;
  fireProgressEvent(fraction);
  if (own) AsyncTaskBase::taskFinished(task, result);
}

}  // namespace xr
