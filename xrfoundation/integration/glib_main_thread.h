// integration/glib_main_thread.h: a GLib main context as the library's main thread.
//
// A GLib or GTK application installs the adapter once, on the thread that runs the context's
// loop, before it starts work on other threads:
//
//   GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
//   xr::installGlibMainThread();          // the global default context
//   g_main_loop_run(loop);
//
// From then on every observer registered for main-thread delivery, every task's own observer
// handling, and every posted notification or prepared call runs on that thread, inside the
// context's dispatch, one at a time, in posting order. Each call travels as a source of its
// own, ready at once, at G_PRIORITY_DEFAULT (the priority of g_main_context_invoke()).
//
// Lifetime: the adapter keeps a reference on its context. A call posted while nobody iterates
// the context (before g_main_loop_run(), after it has returned) waits there for the next
// iteration; a poster that waits for it waits that long. An application that stops iterating
// for good and wants late calls delivered iterates once more:
//   while (g_main_context_iteration(context, FALSE)) {}
// Calls that reached the library's own MainLoop before the install are handed over and run
// first on the context.
//
// Shutdown: detach and uninstall drop the pending calls and release a waiting poster, and later
// posts are dropped with one log line. An application may quit while tasks run. Once its loop has
// returned for good it calls xr::uninstallGlibMainThread() (or detach() on its own adapter), as a
// Qt application destroys its application object: the calls still waiting in the context are
// dropped unrun and let go of what they held, and so is every call posted afterwards (logged once);
// a poster waiting for a dropped call is released. So no dropped delivery holds an observer. A
// task's own bookkeeping is not lost with the loop: when the work of a task that was running ends,
// the task leaves the registry of live tasks all the same, on a thread of the library's, soon after
// its finished event was dropped. Observers hear nothing more; a task's work is not stopped by the
// application's end, so an application that must not wait for it cancels its tasks first. A call
// whose source is destroyed unrun otherwise (the context freed) is dropped the same way.
#pragma once
#include <glib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/main_thread.h"

namespace xr {

// The adapter behind installGlibMainThread(), bound to one context. Any thread may post; made
// with create().
class XR_EXPORT GlibMainThread : public IMainThread {
 public:
  // An adapter for `context` (null: the global default context) whose loop runs on the calling
  // thread; null when another thread owns the context at the moment.
  static std::shared_ptr<GlibMainThread> create(GMainContext* context = nullptr);
  // Lets go of its reference on the context; calls already attached run there, or are dropped
  // when the context goes.
  ~GlibMainThread() override;

  // True on the thread that made the adapter.
  bool isMainThread() const override;
  // Attaches `call` to the context as an idle source. With `wait`, a worker returns once the
  // call has run (or was dropped with the context); on the main thread itself the call runs at
  // once. An exception thrown by a call is logged and dropped: it must not unwind through
  // GLib's C frames.
  void post(std::function<void()> call, bool wait) override;
  // The context the adapter posts to.
  GMainContext* context() const { return context_; }
  // Drops the calls this adapter posted that still wait in the context, and every call posted
  // from now on (see the file comment); any thread, once the application is done with the loop.
  void detach();
  // False once detached.
  bool attached() const;

 private:
  GlibMainThread(GMainContext* context, std::thread::id mainThread);

  GMainContext* context_;  // referenced for the adapter's life
  std::thread::id mainThread_;
  mutable std::mutex mutex_;  // orders posts against detach()
  bool attached_ = true;      // guarded by mutex_
  std::atomic<bool> droppedLogged_{false};
};

// Makes `context` (null: the global default context) the library's main thread
// (setMainThread()), its loop running on the calling thread. False, and nothing installed, when
// another thread owns the context at the moment.
XR_EXPORT bool installGlibMainThread(GMainContext* context = nullptr);

// Detaches the installed GLib adapter (see the file comment); nothing when none is installed.
XR_EXPORT void uninstallGlibMainThread();

}  // namespace xr
