// integration/qt_task_watcher.h: a QObject that follows one task and reports it as Qt signals,
// the way QFutureWatcher follows a QFuture. A widget connects to it and never sees a thread:
//
//   auto* watcher = new xr::qt::TaskWatcher(this);  // deleted with its parent
//   connect(watcher, &xr::qt::TaskWatcher::progressChanged, this, &Window::showProgress);
//   connect(watcher, &xr::qt::TaskWatcher::finished, this, &Window::imported);
//   connect(cancelButton, &QPushButton::clicked, watcher, &xr::qt::TaskWatcher::cancel);
//   watcher->setTask(task);          // before the task starts
//   task->startOnQueue(queue);
//   ... in imported():  if (const Contacts* contacts = watcher->value<Contacts>()) ...
//
// It is a thin layer over the library's task watcher (tasks/task_watcher.h), which keeps the
// contract: it registers for coalesced delivery (addDelegateCoalesced), so the task's events
// travel through the library's main thread: install the Qt adapter (installQtMainThread()).
// Signals are emitted on the thread the watcher lives in, in the task's order: started() when
// the work sends taskStart (composites do; other work calls fireStartEvent()), then
// progressChanged() with the newest value while earlier ones wait (the last value reported
// reaches the watcher before finished()), then finished() exactly once, and nothing after it.
//
// Lifetime: the watcher holds its task (shared) until setTask() replaces it or the watcher is
// destroyed. Nothing of the library holds the watcher: its observer reaches it through a link
// that the watcher's destructor cuts, so deleting the watcher or its parent at any moment, on
// the watcher's thread, stops deliveries to it; deliveries already queued are dropped. One
// thread at a time: the watcher's own.
#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "xrfoundation/export.h"
#include "xrfoundation/tasks/async_task.h"
#include "xrfoundation/tasks/task_watcher.h"
#include "xrfoundation/tasks/value_task.h"

namespace xr::qt {

// Follows one task (see the file comment).
class XR_EXPORT TaskWatcher : public QObject {
  Q_OBJECT

 public:
  explicit TaskWatcher(QObject* parent = nullptr);
  // Cuts the link: queued deliveries are dropped and the task no longer sees the observer.
  ~TaskWatcher() override;

  // Follows `task` from now on (null: none), forgetting the previous task, whose later events
  // are dropped. Set it before the task starts: events sent before this call are not repeated.
  void setTask(std::shared_ptr<IAsyncTask> task) { core_.setTask(std::move(task)); }
  // The task followed, or null.
  const std::shared_ptr<IAsyncTask>& task() const { return core_.task(); }
  // True once finished() has been emitted for the current task.
  bool isFinished() const { return core_.isFinished(); }

  // The task's typed value (ValueTask<T>) once finished() has been emitted; null before, when
  // the task failed or was cancelled, when it is no ValueTask<T>, or after takeValue().
  template <class T>
  const T* value() const {
    return core_.value<T>();
  }
  // Moves the value out (for move-only types), with the same conditions as value().
  template <class T>
  std::optional<T> takeValue() {
    return core_.takeValue<T>();
  }

 public Q_SLOTS:
  // Cancels the task (IAsyncTask::cancel()); finished() follows with "canceled" once the work
  // has noticed. Does nothing without a task.
  void cancel();

 Q_SIGNALS:
  // The work began.
  void started();
  // The task's progress, 0.0 to 1.0; coalesced.
  void progressChanged(double progress);
  // The task ended: its outcome word ("success", "failed", "canceled", ...), error code and
  // description ("" when there is none). Emitted once per task.
  void finished(const QString& outcome, int code, const QString& description);

 protected:
  // Runs the deliveries queued from other threads.
  bool event(QEvent* event) override;

 private:
  // Emits the signals; delivers on the watcher's thread, posting to it as Qt events.
  xr::TaskWatcher core_;
};

}  // namespace xr::qt
