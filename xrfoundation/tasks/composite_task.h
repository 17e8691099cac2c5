// tasks/composite_task.h: what the sequential and the concurrent composite share -- their
// list of sub-tasks and their leaving the sub-tasks' observers when they are destroyed.
#pragma once
#include <memory>
#include <vector>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/guarded.h"
#include "xrfoundation/tasks/async_task_base.h"

namespace xr {

// A task whose work runs a list of sub-tasks. The list is shared-owned and may be read from
// any thread; fill it before startTask().
class XR_EXPORT CompositeTask : public AsyncTaskBase {
 public:
  // Puts the task at the front of the list; false, and the list unchanged, for null or when
  // the composite refuses new sub-tasks once it has finished and it has.
  bool insertHeadTask(std::shared_ptr<IAsyncTask> task);
  // The same, putting the task at the end.
  bool appendTailTask(std::shared_ptr<IAsyncTask> task);
  // The sub-tasks, in list order.
  std::vector<std::shared_ptr<IAsyncTask>> tasks() const { return arrTask_.get(); }
  // Puts every sub-task on no queue yet on this queue, those of composite sub-tasks too (a
  // sub-task on another queue stays there), then the composite, and starts the composite.
  void startOnQueue(OperationQueue& queue) override;

 protected:
  // refusesOnceFinished: whether insertHeadTask/appendTailTask refuse once finished.
  CompositeTask(Token token, bool refusesOnceFinished);
  // Leaves the observers of every sub-task.
  ~CompositeTask() override;

 private:
  bool add(std::shared_ptr<IAsyncTask> task, bool atHead);
  void queueSubTasks(OperationQueue& queue);

  const bool refusesOnceFinished_;
  Guarded<std::vector<std::shared_ptr<IAsyncTask>>> arrTask_;
};

}  // namespace xr
