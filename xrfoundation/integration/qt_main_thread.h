// integration/qt_main_thread.h: the application's Qt 6 event loop as the library's main thread.
//
// A Qt application installs the adapter once, on the application object's thread, after it has
// made its QCoreApplication (or QGuiApplication, QApplication) and before it starts work on
// other threads:
//
//   QCoreApplication app(argc, argv);
//   xr::installQtMainThread();
//   ... return app.exec();
//
// From then on every observer registered for main-thread delivery, every task's own observer
// handling, and every posted notification or prepared call runs on the application object's
// thread, inside its event loop, one at a time, in posting order. Each call travels as an
// event of its own through Qt's posted-event queue.
//
// Lifetime: a call posted while the loop does not run (before exec(), after it has returned)
// waits in Qt's queue for the next turn of the loop. Once the application object is destroyed,
// calls still queued are dropped unrun, and so is every call posted afterwards (logged once);
// a poster waiting for a dropped call is released. Calls that reached the library's own
// MainLoop before the install are handed over and run first on the application's loop.
//
// Shutdown: detach and uninstall drop the pending calls and release a waiting poster, and later
// posts are dropped with one log line. Here the application object's destruction does both. An
// application may quit while tasks run. Once its application object is destroyed, no dropped
// delivery holds an observer: what a dropped call held is let go when it is dropped (for calls
// still queued, while the application object is destroyed). A task's own bookkeeping is not lost
// with the loop: when the work of a task that was running ends, the task leaves the registry of
// live tasks all the same, on a thread of the library's, soon after its finished event was dropped.
// Observers hear nothing more; a task's work is not stopped by the application's end, so an
// application that must not wait for it cancels its tasks first.
#pragma once
#include <functional>
#include <memory>
#include <thread>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/main_thread.h"

namespace xr {

namespace internal {
struct QtMainThreadState;  // what the adapter shares with its receiver on the loop's thread
}  // namespace internal

// The adapter behind installQtMainThread(), bound to one application object. Any thread may
// post; made with create().
class XR_EXPORT QtMainThread : public IMainThread {
 public:
  // An adapter for the running QCoreApplication; null when there is none or when the caller
  // is not on the application object's thread.
  static std::shared_ptr<QtMainThread> create();
  // Calls already queued stay with the application's loop and run there.
  ~QtMainThread() override;

  // True on the thread the application object lived on when the adapter was made.
  bool isMainThread() const override;
  // Queues `call` as a Qt event for the application's loop. With `wait`, a worker returns once
  // the call has run (or was dropped with the application object); on the main thread itself
  // the call runs at once. An exception thrown by a call is logged and dropped: it must not
  // unwind through Qt's event delivery.
  void post(std::function<void()> call, bool wait) override;
  // Whether the application object still exists, so that posts can still run.
  bool attached() const;

 private:
  QtMainThread(std::shared_ptr<internal::QtMainThreadState> state, std::thread::id mainThread);

  std::shared_ptr<internal::QtMainThreadState> state_;
  std::thread::id mainThread_;
};

// Makes the running QCoreApplication's loop the library's main thread (setMainThread()). False,
// and nothing installed, without an application object or off its thread.
XR_EXPORT bool installQtMainThread();

}  // namespace xr
