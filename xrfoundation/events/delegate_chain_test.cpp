#include "xrfoundation/events/delegate_chain.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using Events = std::vector<std::string>;
constexpr const char* kNonConforming = "some delegate does'nt comform to protocol";
constexpr const char* kMutated =
    "ERROR: *** Collection <delegate list> was mutated while being enumerated.";

// A small observer interface of two facets.
struct IPing : virtual IDelegate {
  virtual void ping(int value) = 0;
};
struct IPong : virtual IDelegate {
  virtual void pong(const std::string& text) = 0;
};
struct IGame : IPing, IPong {};

// Everything the observers saw, in order, with the thread they saw it on.
struct Journal {
  std::mutex mutex;
  Events events;
  void add(const std::string& event) {
    std::lock_guard lock(mutex);
    events.push_back(event + (mainLoop().isMainThread() ? "@main" : "@worker"));
  }
  Events take() {
    std::lock_guard lock(mutex);
    return std::exchange(events, {});
  }
};

// Notes its calls; `onPing` runs after a ping is noted, e.g. to change the chain mid-walk. Given
// a chain, its destructor leaves it, as an observer must.
struct Player : IGame {
  Player(std::string n, Journal& j, DelegateChain<IGame>* c = nullptr)
      : name(std::move(n)), journal(j), chain(c) {}
  ~Player() override {
    if (chain) chain->removeDelegate(this);
  }
  void ping(int value) override {
    journal.add(name + ".ping" + std::to_string(value));
    if (onPing) onPing();
  }
  void pong(const std::string& text) override { journal.add(name + ".pong " + text); }
  std::function<void()> onPing;
  std::string name;
  Journal& journal;
  DelegateChain<IGame>* chain;
};

// Implements only IPong, so a ping walk passes it by on the non-conforming branch.
struct PongOnly : IPong {
  explicit PongOnly(DelegateChain<IGame>& c) : chain(c) {}
  ~PongOnly() override { chain.removeDelegate(this); }
  void pong(const std::string&) override {}
  DelegateChain<IGame>& chain;
};

class DelegateChainTest : public ::testing::Test {
 protected:
  std::shared_ptr<Player> player(std::string name) {
    return std::make_shared<Player>(std::move(name), journal);
  }
  // What the observers saw up to the moment the main loop has nothing left to run.
  Events drained() {
    while (mainLoop().processPending() > 0) {
    }
    return journal.take();
  }
  // Runs the main loop until the journal has `count` entries more; those entries.
  Events awaited(std::size_t count) {
    Events seen;
    EXPECT_TRUE(mainLoop().runUntil(
        [&] {
          for (std::string& event : journal.take()) seen.push_back(std::move(event));
          return seen.size() >= count;
        },
        10.0));
    return seen;
  }
  Journal journal;
  DelegateChain<IGame> chain;
};

TEST_F(DelegateChainTest, DirectObserversRunFirstThenMainThreadOnesThenTheLastObserver) {
  auto main1 = player("main1"), direct = player("direct"), main2 = player("main2"),
       last = player("last");
  chain.setLastDelegate(last);
  chain.call(&IPong::pong, std::string("x"));  // without observers only the last one hears it
  EXPECT_TRUE(journal.take().empty()) << "a posted call runs on a later turn of the loop";
  EXPECT_EQ(drained(), Events{"last.pong x@main"});
  chain.addDelegate(main1);
  chain.addDelegateStraight(direct);
  chain.addDelegateOnMainThread(main2);
  std::thread([&] {
    chain.call(&IPing::ping, 7);
    EXPECT_EQ(journal.take(), Events{"direct.ping7@worker"})
        << "only the direct observer may have run when call() returns";
  }).join();
  EXPECT_EQ(drained(), (Events{"main1.ping7@main", "main2.ping7@main", "last.ping7@main"}));
}

TEST_F(DelegateChainTest, ObserverWithoutTheFacetIsSkippedWithOneLinePerCall) {
  testing::LogCapture log;
  auto partial = std::make_shared<PongOnly>(chain);
  chain.addDelegateStraight(partial);
  EXPECT_TRUE(chain.respondsToSelector(&IPong::pong));
  EXPECT_FALSE(chain.respondsToSelector(&IPing::ping));
  chain.call(&IPing::ping, 1);
  chain.call(&IPing::ping, 2);
  chain.call(&IPong::pong, std::string("a"));
  EXPECT_EQ(log.texts(), (Events{kNonConforming, kNonConforming}));
}

TEST_F(DelegateChainTest, AnObserverKeepsTheModeOfItsFirstRegistrationUntilRemoved) {
  auto p = player("p"), other = player("o");
  chain.removeDelegate(p);  // never added
  chain.addDelegate(nullptr);
  chain.addDelegate(p);
  chain.addDelegateStraight(p);
  EXPECT_EQ(chain.delegateCount(), 1u);
  chain.call(&IPing::ping, 1);
  EXPECT_TRUE(journal.take().empty()) << "stayed a main-thread observer";
  EXPECT_EQ(drained(), Events{"p.ping1@main"});
  // After removal the next registration decides afresh.
  chain.removeAllDelegate();
  chain.addDelegateStraight(other);
  chain.addDelegateStraight(p);
  chain.removeDelegate(other);
  chain.call(&IPing::ping, 2);
  EXPECT_EQ(journal.take(), Events{"p.ping2@main"}) << "direct on this thread";
}

TEST_F(DelegateChainTest, PostedCallKeepsItsObserverAliveAndAGoneObserverIsNeverCalled) {
  auto kept = player("kept");
  std::weak_ptr<Player> weakKept = kept;
  chain.addDelegate(kept);
  chain.call(&IPing::ping, 1);
  kept.reset();
  EXPECT_FALSE(weakKept.expired()) << "the pending delivery must hold the observer";
  EXPECT_EQ(drained(), Events{"kept.ping1@main"});
  EXPECT_TRUE(weakKept.expired());

  chain.addDelegateStraight(player("gone"));  // gone at once, without removing itself
  chain.call(&IPing::ping, 2);
  EXPECT_TRUE(drained().empty());
}

// Registers a direct observer that only owns itself and lets go of itself during its ping: the
// walk then holds the last reference.
void addSelfReleasing(DelegateChain<IGame>& chain, Journal& journal) {
  auto releasing = std::make_shared<Player>("releasing", journal, &chain);
  releasing->onPing = [owner = releasing]() mutable { owner.reset(); };
  chain.addDelegateStraight(releasing);
}

TEST_F(DelegateChainTest, ObserverDestroyedByTheWalkItselfEndsTheWalkWithoutReadingPastTheList) {
  auto second = player("second"), third = player("third"), last = player("last");
  chain.setLastDelegate(last);
  addSelfReleasing(chain, journal);
  chain.addDelegateStraight(second);
  chain.addDelegateStraight(third);
  {
    testing::LogCapture log;
    chain.call(&IPing::ping, 1);
    EXPECT_EQ(drained(), Events{"releasing.ping1@main"})
        << "the list changed with observers left to visit: none of them, nor the last, is called";
    EXPECT_EQ(log.texts(), Events{kMutated});
  }
  EXPECT_EQ(chain.delegateCount(), 2u);

  // As the final observer, nothing is left to visit: the walk ends normally.
  chain.removeAllDelegate();
  chain.addDelegateStraight(second);
  addSelfReleasing(chain, journal);
  testing::LogCapture log;
  chain.call(&IPing::ping, 2);
  EXPECT_EQ(drained(), (Events{"second.ping2@main", "releasing.ping2@main", "last.ping2@main"}));
  EXPECT_TRUE(log.texts().empty());
  EXPECT_EQ(chain.delegateCount(), 1u);
}

TEST_F(DelegateChainTest, ObserverReleasedByAnotherThreadDuringTheWalkIsNeverReadPast) {
  // Another thread drops a passed-by observer's last outside reference while walks go on, so it
  // may go away inside one: every walk then reaches the next observer or reports the change.
  testing::LogCapture log;
  auto counting = player("counting");
  std::size_t calls = 0;
  for (int round = 0; round < 300; ++round) {
    chain.removeAllDelegate();
    auto passedBy = std::make_shared<PongOnly>(chain);
    std::weak_ptr<PongOnly> watch = passedBy;
    chain.addDelegateStraight(passedBy);
    chain.addDelegateStraight(counting);
    std::atomic<bool> go{false};
    std::thread dropper([&, owned = std::move(passedBy)]() mutable {
      while (!go.load()) {
      }
      for (int spin = 0; spin < round % 50; ++spin)
        std::atomic_signal_fence(std::memory_order_seq_cst);
      owned.reset();
    });
    go.store(true);
    for (; !watch.expired(); ++calls) chain.call(&IPing::ping, round);
    dropper.join();
    EXPECT_EQ(chain.delegateCount(), 1u);
  }
  EXPECT_EQ(journal.take().size() + log.count(kMutated), calls)
      << "a walk skipped the observer after the released one without saying so";
}

TEST_F(DelegateChainTest, OtherExceptionsReachTheCallerAndLeaveTheChainUsable) {
  auto thrower = player("thrower"), p = player("p");
  thrower->onPing = [] { throw std::runtime_error("observer failed"); };
  chain.addDelegateStraight(thrower);
  EXPECT_THROW(chain.call(&IPing::ping, 1), std::runtime_error);
  // The lock was released: another thread can use the chain.
  std::thread([&] {
    chain.removeDelegate(thrower);
    chain.addDelegateStraight(p);
    chain.call(&IPing::ping, 2);
  }).join();
  EXPECT_EQ(journal.take(), (Events{"thrower.ping1@main", "p.ping2@worker"}));
}

TEST_F(DelegateChainTest, CoalescedObserverGetsTheNewestCallOfEachFacetWhileOneIsPending) {
  auto every = player("every"), newest = player("newest"), last = player("last");
  chain.addDelegate(every);
  chain.addDelegateCoalesced(newest);
  chain.addDelegateCoalesced(newest);  // once registered, once delivered
  chain.setLastDelegate(last, true);
  std::thread([&] {
    chain.call(&IPing::ping, 1);
    chain.call(&IPong::pong, std::string("a"));
    chain.call(&IPing::ping, 2);
    chain.call(&IPing::ping, 3);
  }).join();
  EXPECT_EQ(drained(), (Events{"every.ping1@main", "newest.ping3@main", "last.ping3@main",
                               "every.pong a@main", "newest.pong a@main", "last.pong a@main",
                               "every.ping2@main", "every.ping3@main"}))
      << "the pending ping carries the newest value, ahead of the pong made after the first";
  // Right after a delivery the next one is held back for a short interval: the newest value
  // arrives when it ends, or as soon as a call of another facet follows, ahead of it.
  const auto delivered = std::chrono::steady_clock::now();
  chain.call(&IPing::ping, 4);
  chain.call(&IPing::ping, 5);
  EXPECT_EQ(drained(), (Events{"every.ping4@main", "every.ping5@main"}))
      << "the coalescing observers wait for the interval to end";
  const Events held = awaited(2);
  EXPECT_GE(std::chrono::steady_clock::now() - delivered, std::chrono::milliseconds(15));
  EXPECT_EQ(held, (Events{"newest.ping5@main", "last.ping5@main"}));
  // Whether ping 6 is still held back when it is made depends on how fast this machine got here;
  // either way each observer hears it ahead of the pong made after it.
  chain.call(&IPing::ping, 6);
  chain.call(&IPong::pong, std::string("b"));
  const Events last6 = awaited(6);
  for (const std::string observer : {"every.", "newest.", "last."}) {
    Events heard;
    for (const std::string& event : last6)
      if (event.starts_with(observer)) heard.push_back(event.substr(observer.size()));
    EXPECT_EQ(heard, (Events{"ping6@main", "pong b@main"}))
        << observer << ": a held-back call goes ahead of a later call of another facet";
  }
}

}  // namespace
}  // namespace xr
