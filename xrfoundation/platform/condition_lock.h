// platform/condition_lock.h: a lock that carries an integer condition. A thread acquires it
// only when the condition has a wanted value, and sets the condition as it releases it; every
// waiter is woken then. Usable from any thread; the owner releases what it acquired.
#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "xrfoundation/export.h"

namespace xr {

// A lock with an integer condition (see the file comment).
class XR_EXPORT ConditionLock {
 public:
  // Free, with the given condition.
  explicit ConditionLock(int condition = 0) : condition_(condition) {}
  ConditionLock(const ConditionLock&) = delete;
  ConditionLock& operator=(const ConditionLock&) = delete;

  // The condition now.
  int condition() const;
  // Acquires when the lock is free and the condition equals wanted, waiting at most until
  // the deadline; answers whether it acquired.
  bool lockWhenCondition(int wanted, std::chrono::steady_clock::time_point deadline);
  // Acquires only when that is possible at once.
  bool tryLockWhenCondition(int wanted);
  // Releases and sets the condition.
  void unlockWithCondition(int condition);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int condition_;        // guarded by mutex_
  bool locked_ = false;  // guarded by mutex_
};

}  // namespace xr
