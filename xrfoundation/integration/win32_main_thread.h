// integration/win32_main_thread.h: the application's Win32 message loop as the library's main
// thread. Windows builds only.
//
// A Win32 application installs the adapter once, on its UI thread (the thread that runs its
// message loop), before it starts work on other threads:
//
//   xr::installWin32MainThread();
//   MSG message;
//   while (GetMessageW(&message, nullptr, 0, 0) > 0) {
//     TranslateMessage(&message);
//     DispatchMessageW(&message);
//   }
//   xr::uninstallWin32MainThread();
//
// From then on every observer registered for main-thread delivery, every task's own observer
// handling, and every posted notification or prepared call runs on that thread, inside the
// dispatch of its message loop, one at a time, in posting order. The adapter makes a
// message-only window on the thread; posted calls wait in the adapter's queue, and a message
// registered for the purpose tells the window to run them. Modal loops dispatch that message
// as the application's own loop does, so calls keep running while a dialog box or a message
// box is up, a menu is tracked, or a window is moved or sized. A call that itself runs a modal
// loop sees the calls posted after it run inside that loop, still in posting order.
//
// Lifetime: a call posted while no loop pumps the thread's messages (before the loop starts,
// after it has returned) waits for the next turn of a loop; a poster that waits for it waits
// that long. The window lives until the adapter is detached, or until its thread ends. Calls
// that reached the library's own MainLoop before the install are handed over and run first on
// the message loop.
//
// Shutdown: detach and uninstall drop the pending calls and release a waiting poster, and later
// posts are dropped with one log line. An application may quit while tasks run. Once its loop has
// returned for good (PostQuitMessage) it calls xr::uninstallWin32MainThread() (or detach() on its
// own adapter), as a Qt application destroys its application object: the calls still waiting in the
// adapter are dropped unrun and let go of what they held, and so is every call posted afterwards
// (logged once); a poster waiting for a dropped call is released. So no dropped delivery holds an
// observer. A task's own bookkeeping is not lost with the loop: when the work of a task that was
// running ends, the task leaves the registry of live tasks all the same, on a thread of the
// library's, soon after its finished event was dropped. Observers hear nothing more; a task's work
// is not stopped by the application's end, so an application that must not wait for it cancels its
// tasks first.
#pragma once
#include <functional>
#include <memory>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/main_thread.h"

namespace xr {

namespace internal {
struct Win32MainThreadState;  // the queue and window the adapter shares with its window procedure
}  // namespace internal

// The adapter behind installWin32MainThread(), bound to the thread that made it. Any thread may
// post; made with create().
class XR_EXPORT Win32MainThread : public IMainThread {
 public:
  // An adapter whose calls run in the calling thread's message loop; null when its message-only
  // window cannot be made.
  static std::shared_ptr<Win32MainThread> create();
  // Calls already queued stay with the window and run in the thread's loop.
  ~Win32MainThread() override;

  // True on the thread that made the adapter.
  bool isMainThread() const override;
  // Queues `call` for the thread's message loop. With `wait`, a worker returns once the call
  // has run (or was dropped by detach()); on the main thread itself the call runs at once. An
  // exception thrown by a call is logged and dropped: it must not unwind through the system's
  // message dispatch.
  void post(std::function<void()> call, bool wait) override;
  // Drops the calls still queued, and every call posted from now on (see the file comment); any
  // thread, once the application is done with its loop. The window goes at once on its own
  // thread, and with the next turn of the loop, if any, from another.
  void detach();
  // False once detached.
  bool attached() const;

 private:
  explicit Win32MainThread(std::shared_ptr<internal::Win32MainThreadState> state);

  std::shared_ptr<internal::Win32MainThreadState> state_;
};

// Makes the calling thread's message loop the library's main thread (setMainThread()). False,
// and nothing installed, when the adapter's window cannot be made.
XR_EXPORT bool installWin32MainThread();

// Detaches the installed Win32 adapter (see the file comment); nothing when none is installed.
XR_EXPORT void uninstallWin32MainThread();

}  // namespace xr
