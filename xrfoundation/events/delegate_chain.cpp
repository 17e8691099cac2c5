#include "xrfoundation/events/delegate_chain.h"

#include <algorithm>

#include "xrfoundation/platform/log_internal.h"

namespace xr {

namespace {
bool sameObject(const std::weak_ptr<IDelegate>& a, const std::shared_ptr<IDelegate>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}
}  // namespace

void DelegateChainBase::addDelegate(const std::shared_ptr<IDelegate>& observer) {
  add(observer, false);
}
void DelegateChainBase::addDelegateStraight(const std::shared_ptr<IDelegate>& observer) {
  add(observer, true);
}
void DelegateChainBase::addDelegateOnMainThread(const std::shared_ptr<IDelegate>& observer) {
  add(observer, false);
}

void DelegateChainBase::add(const std::shared_ptr<IDelegate>& observer, bool straight) {
  if (!observer) return;
  std::lock_guard lock(mutex_);
  // An observer registered once keeps the mode of its first registration. An entry whose
  // object is gone does not count, even if a new object now has its address.
  for (const Entry& entry : arrayDelegate_)
    if (entry.identity == observer.get() && sameObject(entry.observer, observer)) return;
  arrayDelegate_.push_back({observer.get(), observer, straight});
  ++mutations_;
}

void DelegateChainBase::removeDelegate(const IDelegate* observer) {
  if (!observer) return;
  std::lock_guard lock(mutex_);
  const auto removed = std::erase_if(
      arrayDelegate_, [observer](const Entry& entry) { return entry.identity == observer; });
  if (removed) ++mutations_;
}

void DelegateChainBase::removeAllDelegate() {
  std::lock_guard lock(mutex_);
  if (arrayDelegate_.empty()) return;
  arrayDelegate_.clear();
  ++mutations_;
}

std::size_t DelegateChainBase::delegateCount() const {
  std::lock_guard lock(mutex_);
  return arrayDelegate_.size();
}

void DelegateChainBase::logNonConforming() {
  consoleLog().info("some delegate does'nt comform to protocol");
}

void DelegateChainBase::logWalkError(const PlatformException& error) {
  consoleLog().error("ERROR: {}", error.what());
}

void DelegateChainBase::throwMutated() {
  throw PlatformException("*** Collection <delegate list> was mutated while being enumerated.");
}

}  // namespace xr
