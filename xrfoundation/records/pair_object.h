// records/pair_object.h: XRPairObject, two objects of any kind held together, for the
// application to pass around as one. The pair shares ownership of both members (no copies);
// either may be absent. Each member may be read and replaced from several threads: a reader
// gets the old or the new member, whole.
#pragma once
#include <memory>
#include <utility>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/guarded.h"

namespace xr {

// First and Second name the members' types; the defaults hold objects of any type, which the
// holder casts back (std::static_pointer_cast) knowing what it put in.
template <class First = void, class Second = void>
class XR_EXPORT XRPairObject {
 public:
  // Both members absent.
  XRPairObject() = default;
  XRPairObject(const XRPairObject&) = delete;
  XRPairObject& operator=(const XRPairObject&) = delete;

  // A new pair holding the two, shared with the caller.
  static std::shared_ptr<XRPairObject> makePair(std::shared_ptr<First> first,
                                                std::shared_ptr<Second> second) {
    auto pair = std::make_shared<XRPairObject>();
    pair->first_.set(std::move(first));
    pair->second_.set(std::move(second));
    return pair;
  }

  // The first member, or none.
  std::shared_ptr<First> first() const { return first_.get(); }
  // Replaces the first member; the old one is released after the lock, in case its
  // destructor reads this pair.
  void setFirst(std::shared_ptr<First> first) { first_.set(std::move(first)); }
  // The second member, or none.
  std::shared_ptr<Second> second() const { return second_.get(); }
  // Replaces the second member, as setFirst does.
  void setSecond(std::shared_ptr<Second> second) { second_.set(std::move(second)); }

 private:
  Guarded<std::shared_ptr<First>> first_;
  Guarded<std::shared_ptr<Second>> second_;
};

}  // namespace xr
