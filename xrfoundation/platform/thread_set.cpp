#include <chrono>
#include <utility>

#include "xrfoundation/platform/deferred_call_internal.h"
#include "xrfoundation/platform/thread_set_internal.h"

namespace xr::internal {

ThreadSet::~ThreadSet() {
  // Only threads past their body are left, and one of them may be the caller: the owner of the
  // set went with what the body held.
  for (auto& thread : returned_) thread.detach();
  for (auto& entry : running_) entry.second.detach();
}

// Past their body these threads take no lock: joining them waits for no one.
void ThreadSet::joinReturned() {
  for (auto& thread : returned_) thread.join();
  returned_.clear();
}

void ThreadSet::start(std::function<void()> body) {
  std::lock_guard lock(mutex_);
  joinReturned();
  // The new thread cannot report its return before it is listed: that takes the lock.
  std::thread thread([this, body = std::move(body)] {
    body();
    bodyReturned();
  });
  const std::thread::id id = thread.get_id();
  running_.emplace(id, std::move(thread));
}

void ThreadSet::bodyReturned() {
  {
    std::lock_guard lock(mutex_);
    const auto found = running_.find(std::this_thread::get_id());
    if (found == running_.end()) return;  // joinAll() took it
    returned_.push_back(std::move(found->second));
    running_.erase(found);
  }
  if (joining_ == Joining::kAtOnce) {
    runAt(std::chrono::steady_clock::now(), [this] {
      std::lock_guard lock(mutex_);
      joinReturned();
    });
  }
}

void ThreadSet::joinAll() {
  std::vector<std::thread> all;
  {
    std::lock_guard lock(mutex_);
    all = std::move(returned_);
    returned_.clear();
    for (auto& entry : running_) all.push_back(std::move(entry.second));
    running_.clear();
  }
  for (auto& thread : all) thread.join();
}

std::size_t ThreadSet::size() const {
  std::lock_guard lock(mutex_);
  return running_.size() + returned_.size();
}

}  // namespace xr::internal
