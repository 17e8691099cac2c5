// events/delegate_chain.h: a multicast observer list bound to one observer interface.
//
// An observer interface is a set of facets: each optional operation is a small abstract
// class of its own deriving virtually from IDelegate, and the interface is a class deriving
// from all its facets. An observer derives from the facets it implements. The owner calls
//   chain.call(&ITaskFinishedDelegate::taskFinished, task, result);
// and the chain hands the call to every registered observer that implements the facet --
// directly on the calling thread, or posted to the main thread (the default) -- and last to
// the designated last observer, always posted to the main thread.
//
// Observers are held weakly: the chain never keeps one alive, and one that ceased to exist
// without removing itself is skipped. A posted call holds its observer and its arguments until
// it has run. Identity is the object: the same observer registered twice is one observer.
// Every operation may be called from any thread; one re-entrant lock per chain guards the
// lists and is held for a whole delivery walk, so direct observers may re-enter the chain.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "xrfoundation/platform/log.h"
#include "xrfoundation/platform/main_thread.h"
#include "xrfoundation/platform/platform_exception.h"

namespace xr {

// The common root of every observer facet.
class IDelegate {
 public:
  virtual ~IDelegate() = default;
};

// Registration, as every task presents it too.
class IDelegateChain {
 public:
  virtual ~IDelegateChain() = default;
  virtual void addDelegate(const std::shared_ptr<IDelegate>& observer) = 0;  // main thread
  virtual void addDelegateStraight(const std::shared_ptr<IDelegate>& observer) = 0;
  virtual void addDelegateOnMainThread(const std::shared_ptr<IDelegate>& observer) = 0;
  // Removes the observer wherever it stands; an observer that is not there is ignored. The
  // pointer form lets an observer remove itself from its own destructor.
  virtual void removeDelegate(const IDelegate* observer) = 0;
  void removeDelegate(const std::shared_ptr<IDelegate>& observer) {
    removeDelegate(observer.get());
  }
  virtual void removeAllDelegate() = 0;
};

// The part of the chain that does not depend on the interface.
class DelegateChainBase : public IDelegateChain {
 public:
  void addDelegate(const std::shared_ptr<IDelegate>& observer) override;
  void addDelegateStraight(const std::shared_ptr<IDelegate>& observer) override;
  void addDelegateOnMainThread(const std::shared_ptr<IDelegate>& observer) override;
  using IDelegateChain::removeDelegate;
  void removeDelegate(const IDelegate* observer) override;
  void removeAllDelegate() override;

  // Replaces the last observer (or clears it with nullptr). Takes no lock: set it once,
  // before the chain is shared.
  void setLastDelegate(std::weak_ptr<IDelegate> last) { lastDelegate_ = std::move(last); }

  std::size_t delegateCount() const;

 protected:
  struct Entry {
    const IDelegate* identity;
    std::weak_ptr<IDelegate> observer;
    bool straight;  // registered for direct delivery; otherwise main-thread delivery
  };

  void add(const std::shared_ptr<IDelegate>& observer, bool straight);
  static void logNonConforming();
  static void logWalkError(const PlatformException& error);
  [[noreturn]] static void throwMutated();

  // Observers in registration order, each at most once. The direct and main-thread lists of
  // the observer pattern are kept as each entry's mode.
  std::vector<Entry> arrayDelegate_;  // guarded by mutex_
  std::uint64_t mutations_ = 0;       // changes to arrayDelegate_; guarded by mutex_
  std::weak_ptr<IDelegate> lastDelegate_;
  mutable std::recursive_mutex mutex_;  // re-entrant: direct observers may call back in
};

template <class Interface>
class DelegateChain : public DelegateChainBase {
 public:
  // Delivers one call of a facet's operation (see the file comment). The arguments are
  // copied once and shared by every posted delivery.
  template <class Facet, class... Params, class... Args>
  void call(void (Facet::*operation)(Params...), Args&&... args) {
    static_assert(std::is_base_of_v<Facet, Interface>,
                  "the chain's interface has no such operation");
    auto captured =
        std::make_shared<std::tuple<std::decay_t<Params>...>>(std::forward<Args>(args)...);
    auto invoke = [operation, captured](Facet& observer) {
      std::apply([&](auto&... values) { (observer.*operation)(values...); }, *captured);
    };

    std::lock_guard lock(mutex_);
    try {
      // The walk covers the observers registered when it began. A direct observer that
      // changes the list ends the walk: with an error while observers are left to visit.
      const std::uint64_t mutationsAtStart = mutations_;
      const std::size_t countAtStart = arrayDelegate_.size();
      for (std::size_t i = 0; i < countAtStart; ++i) {
        std::shared_ptr<IDelegate> observer = arrayDelegate_[i].observer.lock();
        if (!observer) continue;  // gone without removing itself: never called
        auto* facet = dynamic_cast<Facet*>(observer.get());
        if (!facet) {
          logNonConforming();
          continue;
        }
        if (arrayDelegate_[i].straight) {
          invoke(*facet);
          if (mutations_ != mutationsAtStart) {
            if (i + 1 < countAtStart) throwMutated();
            break;
          }
        } else {
          mainThread().post([invoke, facet, keep = std::move(observer)] { invoke(*facet); }, false);
        }
      }
      if (std::shared_ptr<IDelegate> last = lastDelegate_.lock()) {
        if (auto* facet = dynamic_cast<Facet*>(last.get()))
          mainThread().post([invoke, facet, keep = std::move(last)] { invoke(*facet); }, false);
      }
    } catch (const PlatformException& error) {
      logWalkError(error);
    }
  }

  // True if at least one registered observer implements the facet; the last observer is
  // not consulted.
  template <class Facet, class... Params>
  bool respondsToSelector(void (Facet::*)(Params...)) const {
    static_assert(std::is_base_of_v<Facet, Interface>,
                  "the chain's interface has no such operation");
    std::lock_guard lock(mutex_);
    for (const Entry& entry : arrayDelegate_) {
      std::shared_ptr<IDelegate> observer = entry.observer.lock();
      if (observer && dynamic_cast<Facet*>(observer.get())) return true;
    }
    return false;
  }
};

}  // namespace xr
