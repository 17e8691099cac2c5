#include "xrfoundation/platform/condition_lock.h"

namespace xr {

int ConditionLock::condition() const {
  std::lock_guard lock(mutex_);
  return condition_;
}

bool ConditionLock::lockWhenCondition(int wanted, std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_until(lock, deadline, [&] { return !locked_ && condition_ == wanted; }))
    return false;
  locked_ = true;
  return true;
}

bool ConditionLock::tryLockWhenCondition(int wanted) {
  std::lock_guard lock(mutex_);
  if (locked_ || condition_ != wanted) return false;
  locked_ = true;
  return true;
}

void ConditionLock::unlockWithCondition(int condition) {
  {
    std::lock_guard lock(mutex_);
    condition_ = condition;
    locked_ = false;
  }
  changed_.notify_all();
}

}  // namespace xr
