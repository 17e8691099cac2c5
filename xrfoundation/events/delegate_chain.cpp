#include "xrfoundation/events/delegate_chain.h"

#include <algorithm>

#include "xrfoundation/platform/deferred_call_internal.h"
#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/platform_exception.h"

namespace xr {

namespace {
// The platform's wording for a list changed under a walk.
constexpr const char* kMutatedDescription =
    "*** Collection <delegate list> was mutated while being enumerated.";

// A coalescing observer receives at most one delivery of a facet in this interval: a progress
// bar redrawn 50 times a second looks smooth, and the main loop stays free for the rest.
constexpr auto kCoalescedInterval = std::chrono::milliseconds(20);

bool sameObject(const std::weak_ptr<IDelegate>& a, const std::shared_ptr<IDelegate>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}
}  // namespace

void DelegateChainBase::addDelegate(const std::shared_ptr<IDelegate>& observer) {
  add(observer, Mode::kPosted);
}
void DelegateChainBase::addDelegateStraight(const std::shared_ptr<IDelegate>& observer) {
  add(observer, Mode::kStraight);
}
void DelegateChainBase::addDelegateOnMainThread(const std::shared_ptr<IDelegate>& observer) {
  add(observer, Mode::kPosted);
}
void DelegateChainBase::addDelegateCoalesced(const std::shared_ptr<IDelegate>& observer) {
  add(observer, Mode::kCoalesced);
}

void DelegateChainBase::setLastDelegate(std::weak_ptr<IDelegate> last, bool coalesced) {
  lastDelegate_ = std::move(last);
  lastCoalescer_ = coalesced ? std::make_unique<Coalescer>(true) : nullptr;
}

DelegateChainBase::PendingCall* DelegateChainBase::Coalescer::find(const void* tag) const {
  for (const auto& [key, pending] : pending_)
    if (key == tag) return pending.get();
  return nullptr;
}

void DelegateChainBase::Coalescer::add(const void* tag, std::shared_ptr<PendingCall> pending) {
  pending_.emplace_back(tag, std::move(pending));
}

void DelegateChainBase::runDropped(std::function<void()> drop) {
  internal::runAt(std::chrono::steady_clock::now(), std::move(drop));
}

void DelegateChainBase::Coalescer::postHeldExcept(const void* tag) const {
  for (const auto& [key, pending] : pending_)
    if (key != tag && pending->state.load(std::memory_order_relaxed) == PendingCall::State::kHeld)
      pending->postIfHeld();
}

void DelegateChainBase::PendingCall::schedule(std::unique_lock<std::mutex>& lock) {
  if (state != State::kIdle) return;  // the delivery on its way, or held back, carries these
  const auto now = std::chrono::steady_clock::now();
  if (now >= nextPost) {
    // Posted under the mutex, so that postIfHeld() on another thread cannot post a later
    // call of another facet ahead of this one.
    if (postDelivery()) state = State::kPosted;
    return;
  }
  state = State::kHeld;
  const auto when = nextPost;
  lock.unlock();
  internal::runAt(when, [weak = weak_from_this()] {
    if (std::shared_ptr<PendingCall> pending = weak.lock()) pending->postIfHeld();
  });
}

void DelegateChainBase::PendingCall::postIfHeld() {
  std::lock_guard lock(mutex);
  if (state != State::kHeld) return;
  state = postDelivery() ? State::kPosted : State::kIdle;
}

void DelegateChainBase::PendingCall::delivered() {
  state = State::kIdle;
  nextPost = std::chrono::steady_clock::now() + kCoalescedInterval;
}

void DelegateChainBase::add(const std::shared_ptr<IDelegate>& observer, Mode mode) {
  if (!observer) return;
  std::lock_guard lock(mutex_);
  // An observer registered once keeps the mode of its first registration. An entry whose
  // object is gone does not count, even if a new object now has its address.
  for (const Entry& entry : arrayDelegate_)
    if (entry.identity == observer.get() && sameObject(entry.observer, observer)) return;
  arrayDelegate_.push_back({observer.get(), observer, mode,
                            mode == Mode::kCoalesced ? std::make_unique<Coalescer>() : nullptr});
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

bool DelegateChainBase::anyObserver(bool (*test)(const IDelegate& observer)) const {
  std::lock_guard lock(mutex_);
  // Indexed, with the size read afresh: an observer released at the end of an iteration may
  // remove itself from the list.
  for (std::size_t i = 0; i < arrayDelegate_.size(); ++i) {
    std::shared_ptr<IDelegate> observer = arrayDelegate_[i].observer.lock();
    if (observer && test(*observer)) return true;
  }
  return false;
}

void DelegateChainBase::walk(const Delivery& delivery) {
  std::lock_guard lock(mutex_);
  try {
    const std::uint64_t mutationsAtStart = mutations_;
    const std::size_t countAtStart = arrayDelegate_.size();
    for (std::size_t i = 0; i < countAtStart; ++i) {
      {
        // Held only for this step: when the walk holds an observer's last reference, the
        // observer is destroyed here and may remove itself, which the check below sees.
        const Entry& entry = arrayDelegate_[i];
        // A busy reporter's common case first: nothing to look up, no reference to take.
        if (!entry.coalescer || !delivery.replacePending(*entry.coalescer)) {
          std::shared_ptr<IDelegate> observer = entry.observer.lock();
          if (observer && !delivery.deliver(observer, entry.mode, entry.coalescer.get()))
            consoleLog().info("some delegate does'nt comform to protocol");
        }
      }
      if (mutations_ != mutationsAtStart) {
        if (i + 1 < countAtStart) {
          consoleLog().error("ERROR: {}", kMutatedDescription);
          return;
        }
        break;  // nothing was left to visit
      }
    }
    if (lastCoalescer_ && delivery.replacePending(*lastCoalescer_)) return;
    if (std::shared_ptr<IDelegate> last = lastDelegate_.lock())
      delivery.deliver(last, lastCoalescer_ ? Mode::kCoalesced : Mode::kPostedLast,
                       lastCoalescer_.get());
  } catch (const PlatformException& error) {
    consoleLog().error("ERROR: {}", error.what());
  }
}

}  // namespace xr
