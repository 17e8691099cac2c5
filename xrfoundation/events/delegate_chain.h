// events/delegate_chain.h: a multicast observer list bound to one observer interface.
//
// An observer interface is a set of facets: each optional operation is a small abstract
// class of its own deriving virtually from IDelegate, and the interface is a class deriving
// from all its facets. An observer derives from the facets it implements. The owner calls
//   chain.call(&ITaskFinishedDelegate::taskFinished, task, result);
// and the chain hands the call to every registered observer that implements the facet --
// directly on the calling thread, or posted to the main thread (the default), every call or
// coalesced -- and last to the designated last observer, always posted to the main thread.
//
// Coalesced delivery keeps a busy reporter from flooding the main loop: while a call of one
// facet is pending for a coalescing observer, a newer call of that facet replaces its
// arguments, so the observer receives the newest values, at most one pending call per facet.
// After a delivery the facet's next one is held back for a short interval (20 ms), so the
// observer hears of a busy reporter a few dozen times a second; a held-back call is posted
// when the interval ends, whether or not more calls come. A call made before another facet's
// call still reaches it first: that call posts the held-back ones ahead of itself.
//
// Observers are held weakly: the chain never keeps one alive, and one that ceased to exist
// without removing itself is skipped. A posted call holds its observer and its arguments until
// it has run, or until the main thread drops it unrun (an application's loop whose application
// object is gone): then they are let go where it is dropped. The last observer is its owner's
// own bookkeeping, which must not be lost with the loop: a call to it that the main thread drops
// runs soon after on a thread of the library's, so the last observer must be callable from any
// thread. Identity is the object: the same observer registered twice is one observer.
// Every operation may be called from any thread; one re-entrant lock per chain guards the
// lists and is held for a whole delivery walk, so direct observers may re-enter the chain.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/main_thread.h"

namespace xr {

// The common root of every observer facet.
class XR_EXPORT IDelegate {
 public:
  virtual ~IDelegate() = default;
};

// Registration, as every task presents it too.
class XR_EXPORT IDelegateChain {
 public:
  virtual ~IDelegateChain() = default;
  // Registers for main-thread delivery (the same as addDelegateOnMainThread). An observer
  // registered already keeps the mode of its first registration; null is ignored.
  virtual void addDelegate(const std::shared_ptr<IDelegate>& observer) = 0;
  // Registers for direct delivery, on the calling thread, before call() returns.
  virtual void addDelegateStraight(const std::shared_ptr<IDelegate>& observer) = 0;
  // Registers for delivery posted to the main thread, not waited for.
  virtual void addDelegateOnMainThread(const std::shared_ptr<IDelegate>& observer) = 0;
  // Registers for coalesced delivery posted to the main thread (see the file comment): the
  // observer of a progress bar, which wants the newest value, not every one.
  virtual void addDelegateCoalesced(const std::shared_ptr<IDelegate>& observer) = 0;
  // Removes the observer wherever it stands; an observer that is not there is ignored. The
  // pointer form lets an observer remove itself from its own destructor.
  virtual void removeDelegate(const IDelegate* observer) = 0;
  // The same, for a shared observer.
  void removeDelegate(const std::shared_ptr<IDelegate>& observer) {
    removeDelegate(observer.get());
  }
  // Unregisters every observer; the last observer stays.
  virtual void removeAllDelegate() = 0;
};

// The part of the chain that does not depend on the interface.
class XR_EXPORT DelegateChainBase : public IDelegateChain {
 public:
  void addDelegate(const std::shared_ptr<IDelegate>& observer) override;
  void addDelegateStraight(const std::shared_ptr<IDelegate>& observer) override;
  void addDelegateOnMainThread(const std::shared_ptr<IDelegate>& observer) override;
  void addDelegateCoalesced(const std::shared_ptr<IDelegate>& observer) override;
  using IDelegateChain::removeDelegate;
  void removeDelegate(const IDelegate* observer) override;
  void removeAllDelegate() override;

  // Replaces the last observer (or clears it with nullptr), which receives every call, or
  // with `coalesced` the newest of each facet. Takes no lock: set it once, before the chain
  // is shared.
  void setLastDelegate(std::weak_ptr<IDelegate> last, bool coalesced = false);

  // The number of registered observers, gone ones included until they are removed.
  std::size_t delegateCount() const;

 protected:
  // How an observer receives calls; kPostedLast: posted, and run where it is dropped unrun.
  enum class Mode : std::uint8_t { kStraight, kPosted, kCoalesced, kPostedLast };

  // One coalescing observer's pending call of one facet; the facet's Call derives from it.
  // Replacing the arguments of a call that is on its way or held back takes this mutex and
  // nothing else: no allocation, no post.
  struct PendingCall : std::enable_shared_from_this<PendingCall> {
    virtual ~PendingCall() = default;

    // Nothing waiting; a delivery held back until nextPost; a delivery on its way.
    enum class State : std::uint8_t { kIdle, kHeld, kPosted };
    // With the newest arguments stored under `lock`: posts the delivery unless one is on its
    // way or held back already. A delivery within the minimum interval after the previous
    // one is held back until the interval ends, so that a busy reporter wakes the main loop
    // a few dozen times a second, not once per call.
    void schedule(std::unique_lock<std::mutex>& lock);
    // Posts a held-back delivery now.
    void postIfHeld();
    // The main thread dropped the delivery unrun; under mutex.
    void dropped() { state = State::kIdle; }
    // The delivery has taken the arguments, on the main thread; under mutex.
    void delivered();
    // Posts the delivery to the main thread, under mutex; false, and nothing posted, when the
    // observer is gone.
    virtual bool postDelivery() = 0;

    std::mutex mutex;  // guards the pending call's state
    // Written under mutex. Only a walk, under the chain's lock, makes it kHeld, so a walk may
    // read it without the mutex to skip a call that is not held back.
    std::atomic<State> state{State::kIdle};
    std::chrono::steady_clock::time_point nextPost{};  // no post before this; guarded by mutex
  };
  // A coalescing observer's pending calls, one per facet, found by a tag that stands for the
  // facet's operation. Used under the chain's lock.
  class Coalescer {
   public:
    // forLast: the last observer's, whose dropped calls run where they are dropped.
    explicit Coalescer(bool forLast = false) : forLast(forLast) {}
    const bool forLast;
    // The pending call of the facet that tag stands for, or null; add() files a new one.
    PendingCall* find(const void* tag) const;
    void add(const void* tag, std::shared_ptr<PendingCall> pending);
    // Posts the held-back calls of the other facets, so that they arrive before the call of
    // `tag` made after them.
    void postHeldExcept(const void* tag) const;

   private:
    std::vector<std::pair<const void*, std::shared_ptr<PendingCall>>> pending_;
  };

  // One captured call, as the walk hands it to each observer.
  class Delivery {
   public:
    virtual ~Delivery() = default;
    // Calls the observer now (kStraight) or posts the call to the main thread, the posted
    // call holding the observer; kCoalesced posts only when no call of the facet is pending
    // in `coalescer`, and replaces the pending one's arguments otherwise. False, and nothing
    // done, when the observer lacks the facet.
    virtual bool deliver(const std::shared_ptr<IDelegate>& observer, Mode mode,
                         Coalescer* coalescer) const = 0;
    // A coalescing observer's call when a call of the facet has been filed for it before:
    // replaces the pending call's arguments (and posts it if it is idle) without touching
    // the observer, which the pending call holds weakly itself. False, and nothing done, when
    // none has been filed yet; then deliver() files one.
    virtual bool replacePending(Coalescer& coalescer) const = 0;
  };

  // Posts `run` to the main thread. If the main thread lets it go unrun, `drop` runs instead,
  // soon after on the library's timer thread: a dispatcher may drop a call inside post(), where
  // the poster still holds its locks.
  template <class Run, class Drop>
  static void postOrDrop(Run run, Drop drop) {
    struct Posted {
      // Made in place: a moved-from temporary would drop the call as it goes.
      Posted(Run run, Drop drop) : run(std::move(run)), drop(std::move(drop)) {}
      Posted(const Posted&) = delete;
      Posted& operator=(const Posted&) = delete;
      ~Posted() {
        if (!ran) runDropped(std::move(drop));
      }
      Run run;
      Drop drop;
      bool ran = false;  // on the main thread, or never
    };
    auto posted = std::make_shared<Posted>(std::move(run), std::move(drop));
    mainThread().post(
        [posted] {
          posted->ran = true;
          posted->run();
        },
        false);
  }
  // Runs a dropped call's replacement on the library's timer thread.
  static void runDropped(std::function<void()> drop);

  // The delivery walk (see DelegateChain::call), under the chain's lock.
  void walk(const Delivery& delivery);
  // True if a live registered observer satisfies the test.
  bool anyObserver(bool (*test)(const IDelegate& observer)) const;

 private:
  struct Entry {
    const IDelegate* identity;
    std::weak_ptr<IDelegate> observer;
    Mode mode;
    std::unique_ptr<Coalescer> coalescer;  // kCoalesced only
  };

  void add(const std::shared_ptr<IDelegate>& observer, Mode mode);

  // Observers in registration order, each at most once. The direct and main-thread lists of
  // the observer pattern are kept as each entry's mode.
  std::vector<Entry> arrayDelegate_;  // guarded by mutex_
  std::uint64_t mutations_ = 0;       // changes to arrayDelegate_; guarded by mutex_
  std::weak_ptr<IDelegate> lastDelegate_;
  std::unique_ptr<Coalescer> lastCoalescer_;  // when the last observer is coalesced
  mutable std::recursive_mutex mutex_;        // re-entrant: direct observers may call back in
};

// The chain bound to one observer interface (see the file comment).
template <class Interface>
class DelegateChain : public DelegateChainBase {
 public:
  // Delivers one call of a facet's operation (see the file comment). The arguments are
  // copied once and shared by every posted delivery. The walk covers the observers
  // registered when it began; when the list changes under it (a direct observer registers
  // or unregisters, or an observer whose last owner let go during the walk removes itself)
  // while observers are left to visit, it logs "ERROR: ..." and calls neither them nor the
  // last observer. A PlatformException from a direct observer ends the delivery the same
  // way; any other exception reaches the caller, the lock released.
  template <class Facet, class... Params, class... Args>
  void call(void (Facet::*operation)(Params...), Args&&... args) {
    static_assert(std::is_base_of_v<Facet, Interface>,
                  "the chain's interface has no such operation");
    typename Call<Facet, Params...>::Arguments arguments(std::forward<Args>(args)...);
    walk(Call<Facet, Params...>(operation, arguments));
  }

  // True if at least one registered observer implements the facet; the last observer is
  // not consulted.
  template <class Facet, class... Params>
  bool respondsToSelector(void (Facet::*)(Params...)) const {
    static_assert(std::is_base_of_v<Facet, Interface>,
                  "the chain's interface has no such operation");
    return anyObserver(
        [](const IDelegate& observer) { return dynamic_cast<const Facet*>(&observer) != nullptr; });
  }

 private:
  template <class Facet, class... Params>
  class Call final : public Delivery {
   public:
    using Arguments = std::tuple<std::decay_t<Params>...>;
    Call(void (Facet::*operation)(Params...), Arguments& arguments)
        : operation_(operation), arguments_(arguments) {}

    bool deliver(const std::shared_ptr<IDelegate>& observer, Mode mode,
                 Coalescer* coalescer) const override {
      auto* facet = dynamic_cast<Facet*>(observer.get());
      if (!facet) return false;
      if (mode == Mode::kStraight) {
        invoke(operation_, arguments_, *facet);
      } else if (mode == Mode::kCoalesced && coalescer) {
        if (!coalescer->find(&kTag))
          coalescer->add(&kTag, std::make_shared<Pending>(observer, *facet, coalescer->forLast));
        replacePending(*coalescer);
      } else {
        auto run = [operation = operation_, arguments = shared(), facet, keep = observer] {
          invoke(operation, *arguments, *facet);
        };
        if (mode == Mode::kPostedLast)
          postOrDrop(run, run);
        else
          mainThread().post(std::move(run), false);
      }
      return true;
    }

    bool replacePending(Coalescer& coalescer) const override {
      PendingCall* found = coalescer.find(&kTag);
      if (!found) return false;
      coalescer.postHeldExcept(&kTag);
      auto& pending = static_cast<Pending&>(*found);
      std::unique_lock lock(pending.mutex);
      pending.operation = operation_;
      pending.arguments = arguments_;  // assigned in place: no allocation for plain values
      pending.schedule(lock);
      return true;
    }

   private:
    // The facet's pending call: the newest operation and arguments not yet delivered.
    struct Pending final : PendingCall {
      Pending(std::weak_ptr<IDelegate> observer, Facet& facet, bool runWhenDropped)
          : observer(std::move(observer)), facet(facet), runWhenDropped(runWhenDropped) {}

      bool postDelivery() override {
        std::shared_ptr<IDelegate> keep = observer.lock();
        if (!keep) {
          arguments.reset();  // they may hold the chain's owner
          return false;
        }
        auto self = std::static_pointer_cast<Pending>(shared_from_this());
        postOrDrop([self, keep] { self->run(true); }, [self, keep] { self->run(false); });
        return true;
      }
      // On the main thread, or where the main thread dropped the delivery (`delivered` false).
      void run(bool delivered) {
        std::optional<Arguments> taken;
        void (Facet::*call)(Params...);
        {
          std::lock_guard lock(mutex);
          taken.swap(arguments);
          call = operation;
          delivered ? this->delivered() : dropped();
        }
        if (taken && (delivered || runWhenDropped)) invoke(call, *taken, facet);
      }

      const std::weak_ptr<IDelegate> observer;
      Facet& facet;  // valid while observer lives
      const bool runWhenDropped;
      void (Facet::*operation)(Params...) = nullptr;  // guarded by mutex
      std::optional<Arguments> arguments;             // guarded by mutex
    };
    // Stands for the facet in a Coalescer: one address per instantiation.
    static constexpr char kTag = 0;

    // The arguments shared by every posted delivery of this call, made at the first.
    const std::shared_ptr<Arguments>& shared() const {
      if (!shared_) shared_ = std::make_shared<Arguments>(arguments_);
      return shared_;
    }

    static void invoke(void (Facet::*operation)(Params...), Arguments& arguments, Facet& observer) {
      std::apply([&](auto&... values) { (observer.*operation)(values...); }, arguments);
    }

    void (Facet::*operation_)(Params...);
    Arguments& arguments_;                       // the caller's, for the walk's length
    mutable std::shared_ptr<Arguments> shared_;  // the walk's thread only
  };
};

}  // namespace xr
