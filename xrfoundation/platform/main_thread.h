// platform/main_thread.h: runs calls on the application's main thread. The library posts
// observer deliveries, notifications and prepared calls through mainThread(). Production:
// the library's own MainLoop (main_loop.h), or an application's loop (Qt, GLib, asio) plugged
// in with setMainThread(); tests: FakeMainThread, which keeps posted calls until runPending().
#pragma once
#include <functional>
#include <memory>

#include "xrfoundation/export.h"

namespace xr {

// A main-thread dispatcher: the loop that runs the calls the library posts to the
// application's main thread. Implementations must accept posts from any thread.
class XR_EXPORT IMainThread {
 public:
  virtual ~IMainThread() = default;
  // True when called on the thread that runs the posted calls.
  virtual bool isMainThread() const = 0;
  // Posted calls run one at a time, in posting order, on a later turn of the loop.
  // wait: return only after the call has run; on the main thread itself it runs at once.
  virtual void post(std::function<void()> call, bool wait) = 0;
};

// The dispatcher the library posts to: the one installed with setMainThread(), else the
// process-wide MainLoop. Callable from any thread.
XR_EXPORT IMainThread& mainThread();

// Installs the application's dispatcher. Call it once, before anything is posted; the
// dispatcher is kept for the rest of the process.
XR_EXPORT void setMainThread(std::shared_ptr<IMainThread> dispatcher);

// Runs a call on a new background thread of its own and returns at once.
XR_EXPORT void runInBackground(std::function<void()> call);

}  // namespace xr
