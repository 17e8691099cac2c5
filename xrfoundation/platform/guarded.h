// platform/guarded.h: Guarded<T>, one value that several threads read and replace whole. A
// reader gets a copy of the old or the new value, never a torn one, and the copy stays valid
// whatever happens to the Guarded afterwards. Each Guarded has a lock of its own; it is held
// only while the value is copied or moved, never while the caller's code runs (but for
// with()).
#pragma once
#include <mutex>
#include <utility>

#include "xrfoundation/export.h"

namespace xr {

// One value of type T, read and replaced whole from any thread (see the file comment).
template <class T>
class XR_EXPORT Guarded {
 public:
  // The value T{}.
  Guarded() = default;
  // The given value.
  explicit Guarded(T value) : value_(std::move(value)) {}
  Guarded(const Guarded&) = delete;
  Guarded& operator=(const Guarded&) = delete;

  // A copy of the value as it is now.
  T get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }

  // Replaces the value. The old value is destroyed after the lock is released, so its
  // destructor may read this Guarded again.
  void set(T value) {
    {
      std::lock_guard lock(mutex_);
      std::swap(value_, value);
    }
  }

  // Runs access(value) under the lock and answers its result: for reading a part or changing
  // the value in place. access must not reach this Guarded again.
  template <class Access>
  decltype(auto) with(Access&& access) {
    std::lock_guard lock(mutex_);
    return std::forward<Access>(access)(value_);
  }
  // The same, for reading.
  template <class Access>
  decltype(auto) with(Access&& access) const {
    std::lock_guard lock(mutex_);
    return std::forward<Access>(access)(value_);
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
};

}  // namespace xr
