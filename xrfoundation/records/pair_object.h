// records/pair_object.h: XRPairObject, two objects of any kind held together, for the
// application to pass around as one. The pair shares ownership of both members (no copies);
// either may be absent. Each member may be read and replaced from several threads: a reader
// gets the old or the new member, whole.
#pragma once
#include <memory>
#include <mutex>
#include <utility>

namespace xr {

// First and Second name the members' types; the defaults hold objects of any type, which the
// holder casts back (std::static_pointer_cast) knowing what it put in.
template <class First = void, class Second = void>
class XRPairObject {
 public:
  XRPairObject() = default;  // both members absent
  XRPairObject(const XRPairObject&) = delete;
  XRPairObject& operator=(const XRPairObject&) = delete;

  // A new pair holding the two, shared with the caller.
  static std::shared_ptr<XRPairObject> makePair(std::shared_ptr<First> first,
                                                std::shared_ptr<Second> second) {
    auto pair = std::make_shared<XRPairObject>();
    pair->first_ = std::move(first);
    pair->second_ = std::move(second);
    return pair;
  }

  std::shared_ptr<First> first() const {
    std::lock_guard lock(mutex_);
    return first_;
  }
  void setFirst(std::shared_ptr<First> first) {
    std::lock_guard lock(mutex_);
    // The old member is released after the lock, in case its destructor reads this pair.
    std::swap(first_, first);
  }
  std::shared_ptr<Second> second() const {
    std::lock_guard lock(mutex_);
    return second_;
  }
  void setSecond(std::shared_ptr<Second> second) {
    std::lock_guard lock(mutex_);
    std::swap(second_, second);
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<First> first_;    // guarded by mutex_
  std::shared_ptr<Second> second_;  // guarded by mutex_
};

}  // namespace xr
