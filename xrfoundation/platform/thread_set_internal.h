// platform/thread_set_internal.h: the library's own threads, joined and never detached. A
// thread whose body has returned is joined by the set's next start() or by joinAll(), so none
// is left running unseen when its owner goes (to unload the code, or to end the process).
// Detaching is avoided for a second reason: MinGW-w64's threads lose a detached thread now and
// then (it never runs, or the process faults), seen under Wine when threads start and end
// quickly.
#pragma once
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "xrfoundation/export.h"

namespace xr::internal {

class XR_EXPORT ThreadSet {
 public:
  enum class Joining {
    kByOwner,  // by the next start() or by joinAll()
    kAtOnce,   // also by the library's timer thread as soon as a body has returned
  };
  // kAtOnce is for a set that lives as long as the process and whose owner may never start or
  // join again: no ended thread is left unjoined (each holds its stack until joined).
  explicit ThreadSet(Joining joining = Joining::kByOwner) : joining_(joining) {}
  // Lets go of the threads still held (see joinAll()).
  ~ThreadSet();
  ThreadSet(const ThreadSet&) = delete;
  ThreadSet& operator=(const ThreadSet&) = delete;

  // Runs `body` on a new thread, after joining the set's threads whose body has returned. What
  // `body` holds goes as its thread ends, which may end the set's owner too: the set then lets
  // go of that thread instead of joining it.
  void start(std::function<void()> body);

  // Joins every thread of the set, those still in their body included. Not to be called by one
  // of them, nor (on Windows) under the loader lock, as in a DLL's unload: a thread cannot end
  // while that lock is held.
  void joinAll();

  // Threads started and not yet joined.
  std::size_t size() const;

 private:
  void bodyReturned();
  void joinReturned();  // mutex_ held

  const Joining joining_;
  mutable std::mutex mutex_;
  std::unordered_map<std::thread::id, std::thread> running_;  // guarded by mutex_
  std::vector<std::thread> returned_;                         // guarded by mutex_
};

}  // namespace xr::internal
