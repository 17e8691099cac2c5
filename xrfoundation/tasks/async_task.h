// tasks/async_task.h: the task interface IAsyncTask through which the application and the
// composites see any task, and the observer interface IAsyncTaskDelegate, whose four
// operations are each optional: an observer derives from the facets it implements.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "xrfoundation/events/delegate_chain.h"
#include "xrfoundation/tasks/task_result.h"

namespace xr {

class IAsyncTask;

// The application's attachments to a task: any shared object.
using TaskObject = std::shared_ptr<void>;

// Observer facets. Every one of them is delivered as the delegate chain says: on the main
// thread unless the observer registered for direct delivery.
class ITaskStartDelegate : public virtual IDelegate {
 public:
  virtual void taskStart(const std::shared_ptr<IAsyncTask>& task) = 0;
};
class ITaskProgressDelegate : public virtual IDelegate {
 public:
  // progress: a fraction from 0.0 to 1.0
  virtual void taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) = 0;
};
class ITaskFinishedDelegate : public virtual IDelegate {
 public:
  virtual void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                            const std::shared_ptr<TaskResult>& result) = 0;
};
class ITaskCurrentTaskIndexDelegate : public virtual IDelegate {
 public:
  virtual void taskCurrentTaskIndex(const std::shared_ptr<IAsyncTask>& task, uint64_t index) = 0;
};

// The whole observer interface: what a task's delegate chain serves.
class IAsyncTaskDelegate : public ITaskStartDelegate,
                           public ITaskProgressDelegate,
                           public ITaskFinishedDelegate,
                           public ITaskCurrentTaskIndexDelegate {};

class IAsyncTask : public IDelegateChain {
 public:
  virtual std::string status() const = 0;  // "Waiting", "Executing" or "Finished"
  virtual bool isFinished() const = 0;
  virtual bool isExecuting() const = 0;
  virtual bool taskFinished() const = 0;
  virtual bool isCancelled() const = 0;
  virtual bool cancelState() const = 0;
  virtual double progress() const = 0;
  virtual void cancel() = 0;
  virtual void cancelLast() = 0;
  virtual void waitUntilFinished() = 0;
  // True once the task has completed or will not run; false when the time-out (seconds)
  // ran out. NaN and negative time-outs do not wait.
  [[nodiscard]] virtual bool waitUntilTimeout(double seconds) = 0;
  virtual std::shared_ptr<TaskResult> taskResult() const = 0;
  virtual TaskObject associatedItem() const = 0;
  virtual void setAssociatedItem(TaskObject item) = 0;
  virtual void setUserData(TaskObject object, const std::string& forKey) = 0;
  virtual TaskObject userDataForKey(const std::string& key) const = 0;
  virtual void removeUserDataForKey(const std::string& key) = 0;
  virtual bool finishedResult() const = 0;
  virtual std::optional<std::string> finishedDescription() const = 0;
  virtual TaskObject userData() const = 0;
  virtual void setUserData(TaskObject object) = 0;
  virtual void startTask() = 0;
  virtual bool calcProgress() const = 0;
  virtual void setCalcProgress(bool counts) = 0;
  virtual std::optional<std::string> taskName() const = 0;
  virtual void setTaskName(std::optional<std::string> name) = 0;
  virtual void addCompletionBlock(std::function<void(bool)> completion) = 0;
  virtual void setTaskPriority(float priority) = 0;
  virtual bool canCancelled() const = 0;
  virtual void setCanCancelled(bool can) = 0;
  virtual std::optional<std::string> taskExecutingTips() const = 0;
  virtual void setTaskExecutingTips(std::optional<std::string> tips) = 0;
  virtual std::optional<std::string> taskType() const = 0;
  virtual void setTaskType(std::optional<std::string> type) = 0;
  // Optional: a task that can list its failed parts answers them; others answer none.
  virtual std::optional<std::vector<std::shared_ptr<IAsyncTask>>> getFailedTask() const {
    return std::nullopt;
  }
};

}  // namespace xr
