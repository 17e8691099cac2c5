#include "xrfoundation/tasks/composite_task.h"

namespace xr {

CompositeTask::CompositeTask(Token token, bool refusesOnceFinished)
    : AsyncTaskBase(token), refusesOnceFinished_(refusesOnceFinished) {}

CompositeTask::~CompositeTask() {
  for (const auto& task : arrTask_.get()) task->removeDelegate(static_cast<const IDelegate*>(this));
}

bool CompositeTask::insertHeadTask(std::shared_ptr<IAsyncTask> task) {
  return add(std::move(task), true);
}

bool CompositeTask::appendTailTask(std::shared_ptr<IAsyncTask> task) {
  return add(std::move(task), false);
}

bool CompositeTask::add(std::shared_ptr<IAsyncTask> task, bool atHead) {
  if (!task || (refusesOnceFinished_ && isFinished())) return false;
  arrTask_.with(
      [&](auto& list) { list.insert(atHead ? list.begin() : list.end(), std::move(task)); });
  return true;
}

}  // namespace xr
