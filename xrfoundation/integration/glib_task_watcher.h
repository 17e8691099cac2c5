// integration/glib_task_watcher.h: follows one task and reports it through plain callbacks on
// a GLib main context, the way a GTask reports to its callback. For C-style GLib and GTK code:
//
//   static const xr::glib::TaskWatcher::Callbacks kCallbacks = {on_started, on_progress,
//                                                               on_finished};
//   auto watcher = std::make_unique<xr::glib::TaskWatcher>(task, kCallbacks, g_object_ref(win),
//                                                          g_object_unref);
//   watcher->setCancellable(cancellable);   // g_cancellable_cancel() cancels the task
//   task->startOnQueue(queue);
//
// It is a thin layer over the library's task watcher (tasks/task_watcher.h), which keeps the
// contract: it registers for coalesced delivery (addDelegateCoalesced), so the task's events
// travel through the library's main thread (installGlibMainThread(), or the library's loop).
// The callbacks run on the watcher's context, in the task's order: started when the work sends
// taskStart (composites do; other work calls fireStartEvent()), progress with the newest value
// while earlier ones wait (the last value reported comes before finished), finished exactly
// once, and nothing after it.
//
// Lifetime: the watcher holds its task (shared) and a reference on its context and cancellable
// until it is destroyed. Nothing of the library holds the watcher: destroying it, or the
// finalization of the object it is tied to (tieTo()), stops deliveries at once; those already
// on their way are dropped. The user data is let go (destroy notify) exactly once, on the
// context's thread: after finished has returned, or when deliveries stop before that. Make,
// use and destroy the watcher on the context's thread.
#pragma once
#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "xrfoundation/export.h"
#include "xrfoundation/tasks/async_task.h"
#include "xrfoundation/tasks/task_watcher.h"
#include "xrfoundation/tasks/value_task.h"

namespace xr::glib {

// Follows one task (see the file comment).
class XR_EXPORT TaskWatcher {
 public:
  // Each may be null.
  struct Callbacks {
    void (*started)(gpointer userData);
    // The task's progress, 0.0 to 1.0; coalesced.
    void (*progressChanged)(double progress, gpointer userData);
    // The outcome word ("success", "failed", "canceled", ...), error code and description
    // ("" when there is none); the texts live until the callback returns.
    void (*finished)(const char* outcome, int code, const char* description, gpointer userData);
  };

  // Follows `task` (set it before the task starts: earlier events are not repeated), delivering
  // on `context` (null: the calling thread's default context, as GTask takes it).
  TaskWatcher(std::shared_ptr<IAsyncTask> task, const Callbacks& callbacks, gpointer userData,
              GDestroyNotify destroyUserData, GMainContext* context = nullptr);
  // Stops deliveries (see the file comment).
  ~TaskWatcher();
  TaskWatcher(const TaskWatcher&) = delete;
  TaskWatcher& operator=(const TaskWatcher&) = delete;

  // Stops deliveries when `object` is finalized, through a weak reference.
  void tieTo(GObject* object);
  // Cancelling `cancellable` cancels the task, from whatever thread cancels it; one already
  // cancelled cancels the task at once. Replaces an earlier cancellable.
  void setCancellable(GCancellable* cancellable);
  // Cancels the task (IAsyncTask::cancel()); finished follows with "canceled". Does nothing
  // without a task.
  void cancel() { core_.cancel(); }

  // The task followed.
  const std::shared_ptr<IAsyncTask>& task() const { return core_.task(); }
  // True once finished has been delivered.
  bool isFinished() const { return core_.isFinished(); }
  // The task's typed value (ValueTask<T>) once finished has been delivered; null before, when
  // the task failed or was cancelled, or when it is no ValueTask<T>.
  template <class T>
  const T* value() const {
    return core_.value<T>();
  }

 private:
  void deliverFinished(const TaskOutcome& outcome);
  void stopDeliveries();
  void disconnectCancellable();
  static void objectFinalized(gpointer watcher, GObject* object);

  const Callbacks callbacks_;
  gpointer userData_;
  GDestroyNotify destroyUserData_;  // null once called
  // Calls the callbacks; delivers on the context's thread, attaching to the context from others.
  xr::TaskWatcher core_;
  GObject* tiedTo_ = nullptr;            // weakly referenced while deliveries go on
  GCancellable* cancellable_ = nullptr;  // referenced
  gulong cancelledHandler_ = 0;
  bool stopped_ = false;  // deliveries stopped: finished, destroyed or untied
};

}  // namespace xr::glib
