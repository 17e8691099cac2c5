#include "xrfoundation/tasks/composite_task.h"

namespace xr {

CompositeTask::CompositeTask(Token token, bool refusesOnceFinished)
    : AsyncTaskBase(token), refusesOnceFinished_(refusesOnceFinished) {}

CompositeTask::~CompositeTask() {
  for (const auto& task : arrTask_.get()) task->removeDelegate(static_cast<const IDelegate*>(this));
}

void CompositeTask::startOnQueue(OperationQueue& queue) {
  queueSubTasks(queue);
  AsyncTaskBase::startOnQueue(queue);
}

void CompositeTask::queueSubTasks(OperationQueue& queue) {
  for (const auto& task : tasks()) {
    if (auto composite = std::dynamic_pointer_cast<CompositeTask>(task))
      composite->queueSubTasks(queue);
    // addOperation leaves alone an operation that is on a queue already.
    if (auto operation = std::dynamic_pointer_cast<Operation>(task)) queue.addOperation(operation);
  }
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
