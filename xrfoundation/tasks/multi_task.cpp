#include "xrfoundation/tasks/multi_task.h"

#include <algorithm>

#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/tasks/task_text_internal.h"

namespace xr {

namespace {

// Transfers of file contents, which the cancel-command task exists to stop on the device.
bool isFileTransfer(const IAsyncTask& task) {
  const std::optional<std::string> type = task.taskType();
  if (type == "WriteFileIncTask" || type == "ReadFileIncTask") return true;
  return dynamic_cast<const AsyncTaskTransferBase*>(&task) != nullptr;
}
}  // namespace

MultiTask::MultiTask(Token token) : CompositeTask(token, false) {
  // A composite inside another composite counts in its progress.
  setCalcProgress(true);
  setCanCancelled(true);
}

void MultiTask::startTask() {
  const auto observer = std::static_pointer_cast<IDelegate>(self());
  // Straight, so that a sub-task's progress is turned into the composite's on the reporting
  // thread, before that sub-task can end: the composite's last value then leaves before its
  // own finished event, which a relay through the main thread would race.
  for (const auto& task : tasks()) task->addDelegateStraight(observer);
  AsyncTaskBase::startTask();
}

void MultiTask::main() {
  if (!bLastTaskRegardAsTaskStatus_.load()) setExecutingStatus(true);
  fireStartEvent();
  const std::vector<std::shared_ptr<IAsyncTask>> list = tasks();
  bool ok = true;
  std::optional<std::string> lastError;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::shared_ptr<IAsyncTask>& task = list[i];
    if (!ok) {  // an earlier sub-task failed: the rest do not run
      if (!task->isCancelled()) task->cancel();
      continue;
    }
    if (cancelLastRequested()) break;
    if (isCancelled()) {
      ok = false;
      break;
    }
    task->startTask();
    if (i + 1 == list.size() || task->isExecuting()) setExecutingStatus(true);
    shouldRunCancelTask_.store(isFileTransfer(*task));
    bool stop = false;
    while (!task->waitUntilTimeout(kSubTaskWaitSeconds)) {
      if (task->isExecuting()) setExecutingStatus(true);
      if (cancelLastRequested()) {
        stop = true;
        break;
      }
    }
    if (stop || cancelLastRequested()) break;
    ok = task->finishedResult();
    if (!ok) {
      if (task->cancelState()) openCancelState();
      lastError = task->finishedDescription();
      XR_LOG_ERROR("Task failed:errDescription = {}", textOrNull(lastError));
    }
  }

  std::shared_ptr<TaskResult> outcome;
  if (cancelLastRequested()) {
    outcome = TaskResult::taskCancelled();
  } else if (ok) {
    outcome = TaskResult::taskSuccessed();
  } else if (isCancelled()) {
    outcome = TaskResult::taskCancelled();
  } else {
    outcome = TaskResult::taskFailed(lastError);
  }

  const std::shared_ptr<IAsyncTask> cancelTask = cancelCmdTask();
  if (isCancelled() && cancelTask && shouldRunCancelTask_.load()) {
    cancelTask->startTask();
    (void)cancelTask->waitUntilTimeout(kSubTaskWaitSeconds);  // best effort: not waited out
  } else {
    cancelCancelTask();
  }

  setFinishedResult(outcome->isSuccess());
  setTaskFinished(true);
  setTaskResult(outcome);
  setExecutingStatus(false);
}

void MultiTask::cancel() {
  if (isCancelled() || cancelState()) {
    XR_LOG_WARN("[self isCancelled] || [self cancelState]");
    return;
  }
  setCancelStateFlag();
  const bool executing = isExecuting();
  if (!executing) cancelCancelTask();
  if (executing && !canCancelled()) {
    consoleLog().warn("multiTask cancel unexpected.....");
    AsyncTaskBase::cancel();
    return;
  }
  const std::vector<std::shared_ptr<IAsyncTask>> list = tasks();
  const std::shared_ptr<IAsyncTask> cancelTask = cancelCmdTask();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    const std::shared_ptr<IAsyncTask>& task = *it;
    if (task->isFinished() || task->isCancelled()) continue;
    task->cancel();
    if (task->taskType() == "AndroidFileDownloader" && task->isExecuting() && cancelTask &&
        shouldRunCancelTask_.load())
      cancelTask->startTask();
  }
  AsyncTaskBase::cancel();
  consoleLog().info("canceled taskName: {}", textOrNull(taskName()));
}

void MultiTask::cancelLast() {
  setCancelLastRequested();
  const std::vector<std::shared_ptr<IAsyncTask>> list = tasks();
  if (list.size() == 2) {
    list[1]->cancel();
  } else {
    cancel();
  }
}

void MultiTask::cancelCancelTask() {
  const std::shared_ptr<IAsyncTask> cancelTask = cancelCmdTask();
  if (!cancelTask) return;
  if (cancelTask->isCancelled()) {
    consoleLog().warn("cancelCancelTask: unexpected.......");
    return;
  }
  cancelTask->cancel();
  consoleLog().info("cancelCancelTask: ({})", taskNumber());
}

double MultiTask::taskBeforeHasFinishedPercent(const std::shared_ptr<IAsyncTask>& task,
                                               double* perTaskPercent) const {
  const std::vector<std::shared_ptr<IAsyncTask>> list = tasks();
  std::size_t counting = 0, before = 0;
  bool reached = false;
  for (const auto& entry : list) {
    if (entry == task) reached = true;
    if (!entry->calcProgress()) continue;
    ++counting;
    if (!reached) ++before;
  }
  if (perTaskPercent) *perTaskPercent = counting ? 1.0 / counting : 1.0;
  return counting ? static_cast<double>(before) / counting : 0.0;
}

void MultiTask::taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) {
  // The composite's own progress comes back to it as last observer: it stored it already.
  if (!task || isThisTask(task) || !task->calcProgress()) return;
  double share = 0;
  const double base = taskBeforeHasFinishedPercent(task, &share);
  const double combined = progress * share + base;
  setProgressValue(combined);
  fireProgressEvent(combined);
}

void MultiTask::taskFinished(const std::shared_ptr<IAsyncTask>& task,
                             const std::shared_ptr<TaskResult>& result) {
  if (isThisTask(task)) AsyncTaskBase::taskFinished(task, result);
}

}  // namespace xr
