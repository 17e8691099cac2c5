// integration/integration_internal.h: what the toolkit adapters share: the completion a waiting
// poster blocks on, the hand-off edge between poster and loop, the guard around a call, and
// installing and uninstalling.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/main_thread.h"

namespace xr::internal {

// Set once, by the loop's thread, when a waited-for call has run or has been dropped. The
// waiting poster keeps it on its stack: signal() notifies under the lock, so the poster cannot
// see it set, return and destroy it while signal() still touches it.
class Completion {
 public:
  void signal() {
    std::lock_guard lock(mutex_);
    done_ = true;
    wake_.notify_all();
  }
  void wait() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return done_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;  // guarded by mutex_
};

// The toolkits pass a call from the poster's thread to the loop's under locks of their own,
// which need not be visible to the memory model tools we check with (Qt's and GLib's mutexes
// are futexes in uninstrumented code). The poster publishes with a release step here before it
// hands the call over, and the loop takes an acquire step before it touches the call, so the
// hand-off is ordered in the language's own terms whatever the toolkit does inside.
inline std::atomic<std::uint64_t>& handoffCounter() {
  static std::atomic<std::uint64_t> counter{0};
  return counter;
}
inline void publishHandoff() { handoffCounter().fetch_add(1, std::memory_order_release); }
inline void acceptHandoff() { (void)handoffCounter().load(std::memory_order_acquire); }

// An application links an adapter's archive beside the core, which may be a shared library that
// keeps fmt and spdlog to itself. So the adapters hand the logger whole lines, through the
// library's exported Logger::write, and never format with fmt: their objects then need nothing
// but the library and the toolkit.
inline void logLine(LogLevel level, const std::string& text) { consoleLog().write(level, text); }

// Runs a posted call on the loop's thread. An exception must not unwind into the toolkit's
// event delivery (GLib's frames are C), and nobody is left to receive it: logged and dropped.
inline void runGuarded(const char* where, const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& error) {
    logLine(LogLevel::Error,
            std::string(where) + ": a call posted to the main thread threw: " + error.what());
  } catch (...) {
    logLine(LogLevel::Error, std::string(where) + ": a call posted to the main thread threw");
  }
}

// The start of every adapter's post(): a waiting post made on the loop's own thread runs at
// once (queued, it would wait for itself). True when nothing is left to queue: the call is
// empty or has run here.
inline bool postDoneAtOnce(const IMainThread& thread, const char* where,
                           const std::function<void()>& call, bool wait) {
  if (!call) return true;
  if (!wait || !thread.isMainThread()) return false;
  runGuarded(where, call);
  return true;
}

// Makes `adapter` the library's main thread (setMainThread()); false, and nothing installed,
// when it is null. Calls posted to the library's own loop before now would wait there forever;
// queued ahead of anything posted through the adapter, they run first on the toolkit's loop.
inline bool installAdapter(std::shared_ptr<IMainThread> adapter) {
  if (adapter == nullptr) return false;
  adapter->post([] { mainLoop().processPending(); }, false);
  setMainThread(std::move(adapter));
  return true;
}

// Detaches the installed dispatcher when it is an Adapter; nothing otherwise.
template <class Adapter>
void uninstallAdapter() {
  if (auto* adapter = dynamic_cast<Adapter*>(&mainThread())) adapter->detach();
}

}  // namespace xr::internal
