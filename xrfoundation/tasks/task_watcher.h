// tasks/task_watcher.h: follows one task and reports it through three callbacks on the main
// thread, whatever runs it: the library's own MainLoop, or a Qt, GLib, wxWidgets or Win32 loop
// installed with setMainThread(). It needs no toolkit; the Qt and GLib watchers
// (integration/) are thin layers over it, so every watcher keeps the contract written here.
//
//   xr::TaskWatcher watcher({
//       .started = [] { showBusy(); },
//       .progressChanged = [](double share) { bar.setValue(share); },
//       .finished = [](const xr::TaskOutcome& outcome) {
//         if (const Contacts* contacts = outcome.value<Contacts>()) show(*contacts);
//         else report(outcome.word, outcome.description);
//       }});
//   watcher.setTask(task);          // before the task starts
//   task->startOnQueue(queue);
//
// The watcher registers for coalesced delivery (addDelegateCoalesced), so the task's events
// travel through the library's main thread. The callbacks run on the watcher's thread (the main
// thread, unless the watcher was given a dispatcher of its own), one at a time, in the task's
// order: started when the work sends taskStart (composites do; other work calls
// fireStartEvent()), then progressChanged with the newest value while earlier ones wait (the
// last value reported comes before finished), then finished exactly once, and nothing after it.
// A composite relays its sub-tasks' events: only the watched task's own are reported.
//
// Lifetime: the watcher holds its task (shared) until setTask() replaces it or the watcher is
// destroyed. Nothing of the library holds the watcher: its observer reaches it through a link
// that stop(), setTask() and the destructor cut, so destroying the watcher at any moment stops
// deliveries to it, and those already on their way are dropped. A callback may destroy the
// watcher; nothing touches it after the callback returns. Once finished has been delivered the
// watcher stops by itself: the task no longer holds its observer. One thread at a time: make,
// use and destroy the watcher on the thread its callbacks run on.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/main_thread.h"
#include "xrfoundation/tasks/async_task.h"
#include "xrfoundation/tasks/value_task.h"

namespace xr {

// How a watched task ended, as finished reports it.
struct TaskOutcome {
  // The outcome word: "success", "failed", "canceled", ...; "" when the task stored none.
  std::string word;
  // The error code and description ("" when there is none).
  int code = 0;
  std::string description;
  // The task that ended.
  std::shared_ptr<IAsyncTask> task;

  // True for "success".
  bool succeeded() const { return word == "success"; }
  // The task's typed value (ValueTask<T>); null when the task failed or was cancelled, when it
  // is no ValueTask<T>, or once the value was taken.
  template <class T>
  const T* value() const {
    return valueOf<T>(task.get());
  }
  // Moves the value out (for move-only types), with the same conditions as value().
  template <class T>
  std::optional<T> takeValue() const {
    return takeValueOf<T>(task.get());
  }

  // The typed value of any task, as value() answers it.
  template <class T>
  static const T* valueOf(const IAsyncTask* task) {
    auto* typed = dynamic_cast<const ValueTask<T>*>(task);
    return typed != nullptr ? typed->value() : nullptr;
  }
  // Moves the typed value out of any task, as takeValue() does.
  template <class T>
  static std::optional<T> takeValueOf(IAsyncTask* task) {
    auto* typed = dynamic_cast<ValueTask<T>*>(task);
    return typed != nullptr ? typed->takeValue() : std::nullopt;
  }
};

// Follows one task (see the file comment).
class XR_EXPORT TaskWatcher {
 public:
  // Each may be empty, and left out of a designated initializer.
  struct Callbacks {
    // The work began.
    std::function<void()> started = {};
    // The task's progress, 0.0 to 1.0; coalesced.
    std::function<void(double progress)> progressChanged = {};
    // The task ended; once per task.
    std::function<void(const TaskOutcome& outcome)> finished = {};
  };

  // A watcher whose callbacks run on the library's main thread; or, given `thread`, on that
  // dispatcher's thread, which the deliveries reach by its post() from the main thread when it
  // is another (a toolkit object's own thread). Follows no task until setTask().
  explicit TaskWatcher(Callbacks callbacks, std::shared_ptr<IMainThread> thread = nullptr);
  // Stops deliveries (see the file comment).
  ~TaskWatcher();
  TaskWatcher(const TaskWatcher&) = delete;
  TaskWatcher& operator=(const TaskWatcher&) = delete;

  // Follows `task` from now on (null: none), forgetting the previous task, whose later events
  // are dropped. Set it before the task starts: events sent before this call are not repeated.
  void setTask(std::shared_ptr<IAsyncTask> task);
  // Stops deliveries and keeps the task: nothing more is reported for it.
  void stop();
  // Cancels the task (IAsyncTask::cancel()); finished follows with "canceled" once the work has
  // noticed. Does nothing without a task.
  void cancel() {
    if (task_ != nullptr) task_->cancel();
  }

  // The task followed, or null.
  const std::shared_ptr<IAsyncTask>& task() const { return task_; }
  // True once finished has been delivered for the current task.
  bool isFinished() const { return finished_; }
  // The task's typed value (ValueTask<T>) once finished has been delivered; null before, and as
  // TaskOutcome::value() says.
  template <class T>
  const T* value() const {
    return finished_ ? TaskOutcome::valueOf<T>(task_.get()) : nullptr;
  }
  // Moves the value out (for move-only types), with the same conditions as value().
  template <class T>
  std::optional<T> takeValue() {
    return finished_ ? TaskOutcome::takeValueOf<T>(task_.get()) : std::nullopt;
  }

 private:
  struct Link;     // what the watcher shares with its observer
  class Observer;  // registered with the task; reaches the watcher through the link

  bool onOwnThread() const;
  void queue(std::function<void()> call);
  void deliverStarted();
  void deliverProgress(double progress);
  void deliverFinished(TaskOutcome outcome);

  // Shared, so that a callback that destroys the watcher does not destroy itself while it runs.
  const std::shared_ptr<const Callbacks> callbacks_;
  const std::shared_ptr<IMainThread> thread_;  // null: the main thread
  std::shared_ptr<IAsyncTask> task_;
  std::shared_ptr<Link> link_;           // null while no deliveries are due
  std::shared_ptr<IDelegate> observer_;  // registered with task_, which holds it weakly
  bool finished_ = false;
};

}  // namespace xr
