// integration/wx_main_thread.h: a wxWidgets application's event loop as the library's main
// thread. Needs wxBase only (wxAppConsole), so it serves console and GUI applications alike.
//
// A wxWidgets application installs the adapter once, on the application object's thread, after
// wxWidgets has made its application object (in OnInit(), say) and before it starts work on
// other threads:
//
//   bool MyApp::OnInit() {
//     if (!xr::installWxMainThread()) return false;
//     ...
//   }
//
// From then on every observer registered for main-thread delivery, every task's own observer
// handling, and every posted notification or prepared call runs on the application object's
// thread, inside its event loop, one at a time, in posting order. The calls travel through the
// application object's queue of pending events, as events of the kind CallAfter() queues; calls
// posted while one is on its way share it. The library's task watcher (tasks/task_watcher.h)
// then reports a task on that thread.
//
// Lifetime: a call posted while no event loop runs (before the main loop starts, after it has
// returned) waits for the next one. Once the application object is destroyed, calls still queued
// are dropped unrun, and so is every call posted afterwards (logged once); a poster waiting for a
// dropped call is released. Calls that reached the library's own MainLoop before the install
// are handed over and run first on the application's loop.
//
// Shutdown: detach and uninstall drop the pending calls and release a waiting poster, and later
// posts are dropped with one log line. An application may quit while tasks run; once its loop has
// returned for good it calls xr::uninstallWxMainThread() (or detach() on its own adapter), in
// OnExit() say, before the application object goes: wxWidgets' own queue cannot take an event from
// a worker while that object is being destroyed (it looks the object up and then uses it), so a
// worker that posts then may crash whatever the adapter does. Destroying the application object
// detaches the adapter too, which serves once no worker posts any more. So no dropped delivery
// holds an observer. A task's own bookkeeping is not lost with the loop: when the work of a task
// that was running ends, the task leaves the registry of live tasks all the same, on a thread of
// the library's, soon after its finished event was dropped. Observers hear nothing more; a task's
// work is not stopped by the application's end, so an application that must not wait for it cancels
// its tasks first.
#pragma once
#include <functional>
#include <memory>
#include <thread>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/main_thread.h"

namespace xr {

namespace internal {
struct WxMainThreadState;  // what the adapter shares with its event handler
}  // namespace internal

// The adapter behind installWxMainThread(), bound to one application object. Any thread may
// post; made with create().
class XR_EXPORT WxMainThread : public IMainThread {
 public:
  // An adapter for the application object (wxTheApp); null when there is none or when the
  // caller is not on its thread (wxWidgets' main thread).
  static std::shared_ptr<WxMainThread> create();
  // Calls already queued stay with the application's loop and run there.
  ~WxMainThread() override;

  // True on the thread that made the adapter.
  bool isMainThread() const override;
  // Queues `call` as an event for the application's loop. With `wait`, a worker returns once
  // the call has run (or was dropped); on the main thread itself the call runs at once. An
  // exception thrown by a call is logged and dropped: it must not unwind through wxWidgets'
  // event delivery.
  void post(std::function<void()> call, bool wait) override;
  // Drops the calls this adapter posted that still wait, and every call posted from now on
  // (see the file comment); any thread, once the application is done with the loop.
  void detach();
  // False once detached, or once the application object is gone.
  bool attached() const;

 private:
  WxMainThread(std::shared_ptr<internal::WxMainThreadState> state, std::thread::id mainThread);

  std::shared_ptr<internal::WxMainThreadState> state_;
  std::thread::id mainThread_;
};

// Makes the application object's loop the library's main thread (setMainThread()). False, and
// nothing installed, without an application object or off its thread.
XR_EXPORT bool installWxMainThread();

// Detaches the installed wxWidgets adapter (see the file comment); nothing when none is
// installed.
XR_EXPORT void uninstallWxMainThread();

}  // namespace xr
