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
#include "xrfoundation/export.h"
#include "xrfoundation/tasks/task_result.h"

namespace xr {

class IAsyncTask;

// The application's attachments to a task: any shared object.
using TaskObject = std::shared_ptr<void>;

// Observer facets. Every one of them is delivered as the delegate chain says: on the main
// thread unless the observer registered for direct delivery.
// taskStart: the work began (sent by work that calls fireStartEvent()).
class XR_EXPORT ITaskStartDelegate : public virtual IDelegate {
 public:
  // The task's work began.
  virtual void taskStart(const std::shared_ptr<IAsyncTask>& task) = 0;
};
// taskProgressChanged: the work reported progress.
class XR_EXPORT ITaskProgressDelegate : public virtual IDelegate {
 public:
  // The task's progress, a fraction from 0.0 to 1.0.
  virtual void taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) = 0;
};
// taskFinished: the task ended, or was cancelled before it began.
class XR_EXPORT ITaskFinishedDelegate : public virtual IDelegate {
 public:
  // The task ended with the result; sent once per task.
  virtual void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                            const std::shared_ptr<TaskResult>& result) = 0;
};
// taskCurrentTaskIndex: a multi-step task moved to another step.
class XR_EXPORT ITaskCurrentTaskIndexDelegate : public virtual IDelegate {
 public:
  // The task moved to the step of this index.
  virtual void taskCurrentTaskIndex(const std::shared_ptr<IAsyncTask>& task, uint64_t index) = 0;
};

// The whole observer interface: what a task's delegate chain serves.
class XR_EXPORT IAsyncTaskDelegate : public ITaskStartDelegate,
                                     public ITaskProgressDelegate,
                                     public ITaskFinishedDelegate,
                                     public ITaskCurrentTaskIndexDelegate {};

// The task interface through which the application and the composites see any task; the
// registration operations pass observers to the task's own chain.
class XR_EXPORT IAsyncTask : public IDelegateChain {
 public:
  // "Waiting", "Executing" or "Finished".
  virtual std::string status() const = 0;
  // True once the operation has run (or been retired after a cancel).
  virtual bool isFinished() const = 0;
  // True while a worker runs the operation.
  virtual bool isExecuting() const = 0;
  // True once the task has completed or its finished event has reached it.
  virtual bool taskFinished() const = 0;
  // The operation's cancelled flag: work that has not begun will never run.
  virtual bool isCancelled() const = 0;
  // True once any cancel was requested, the quiet one included, even when the operation was
  // cancelled already.
  virtual bool cancelState() const = 0;
  // The last progress value delivered to the task itself on the main thread.
  virtual double progress() const = 0;
  // Cancels: a task that has not begun reports "canceled" and never runs; running work is
  // expected to notice isCancelled().
  virtual void cancel() = 0;
  // Cancels the last step; the sequential composite gives it its own meaning.
  virtual void cancelLast() = 0;
  // Blocks, without a time-out, until the task has finished.
  virtual void waitUntilFinished() = 0;
  // True once the task has completed or will not run; false when the time-out (seconds)
  // ran out. NaN and negative time-outs do not wait.
  [[nodiscard]] virtual bool waitUntilTimeout(double seconds) = 0;
  // The outcome: the unstarted record until the work or a cancel stores another.
  virtual std::shared_ptr<TaskResult> taskResult() const = 0;
  // The item the task works on, for the application.
  virtual TaskObject associatedItem() const = 0;
  // Sets (shares) the item the task works on.
  virtual void setAssociatedItem(TaskObject item) = 0;
  // Stores an attachment under the key, replacing any earlier one.
  virtual void setUserData(TaskObject object, const std::string& forKey) = 0;
  // The attachment under the key, or none.
  virtual TaskObject userDataForKey(const std::string& key) const = 0;
  // Removes the attachment under the key.
  virtual void removeUserDataForKey(const std::string& key) = 0;
  // The work's success flag: true until the work fails or a cancel before the start.
  virtual bool finishedResult() const = 0;
  // The reason of a failure, or none.
  virtual std::optional<std::string> finishedDescription() const = 0;
  // The application's free attachment.
  virtual TaskObject userData() const = 0;
  // Sets (shares) the application's free attachment.
  virtual void setUserData(TaskObject object) = 0;
  // Releases the hold: the queue may now begin the task.
  virtual void startTask() = 0;
  // Whether the task's progress counts in a sequential composite's progress.
  virtual bool calcProgress() const = 0;
  // Sets calcProgress().
  virtual void setCalcProgress(bool counts) = 0;
  // The name used in log lines.
  virtual std::optional<std::string> taskName() const = 0;
  // Sets (copies) the name.
  virtual void setTaskName(std::optional<std::string> name) = 0;
  // Adds a callable run once, with finishedResult(), after the task has completed; added
  // after that, it is never run.
  virtual void addCompletionBlock(std::function<void(bool)> completion) = 0;
  // Sets the thread priority, 0.0 lowest to 1.0 highest.
  virtual void setTaskPriority(float priority) = 0;
  // Whether a cancel while the task executes is expected; an unexpected one is only logged,
  // it is honoured all the same.
  virtual bool canCancelled() const = 0;
  // Sets canCancelled().
  virtual void setCanCancelled(bool can) = 0;
  // Text for the application to show while the task runs.
  virtual std::optional<std::string> taskExecutingTips() const = 0;
  // Sets (copies) that text.
  virtual void setTaskExecutingTips(std::optional<std::string> tips) = 0;
  // The kind of task, a word such as "WriteFileIncTask".
  virtual std::optional<std::string> taskType() const = 0;
  // Sets (copies) the kind of task.
  virtual void setTaskType(std::optional<std::string> type) = 0;
  // Optional: a task that can list its failed parts answers them; others answer none.
  virtual std::optional<std::vector<std::shared_ptr<IAsyncTask>>> getFailedTask() const {
    return std::nullopt;
  }
};

}  // namespace xr
