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

constexpr const char* kNonConforming = "some delegate does'nt comform to protocol";
constexpr const char* kMutated =
    "ERROR: *** Collection <delegate list> was mutated while being enumerated.";

// A small observer interface of two facets.
class IPing : public virtual IDelegate {
 public:
  virtual void ping(int value) = 0;
};
class IPong : public virtual IDelegate {
 public:
  virtual void pong(const std::string& text) = 0;
};
class IGame : public IPing, public IPong {};

// Everything the observers saw, in order, with the thread they saw it on.
struct Journal {
  std::mutex mutex;
  std::vector<std::string> events;
  void add(const std::string& event) {
    std::lock_guard lock(mutex);
    events.push_back(event + (mainLoop().isMainThread() ? "@main" : "@worker"));
  }
  std::vector<std::string> take() {
    std::lock_guard lock(mutex);
    return std::exchange(events, {});
  }
};

// Notes its calls; `onPing` runs after a ping is noted, e.g. to change the chain mid-walk. Given
// a chain, its destructor leaves it, as an observer must.
class Player : public IGame {
 public:
  Player(std::string name, Journal& journal, DelegateChain<IGame>* chain = nullptr)
      : name_(std::move(name)), journal_(journal), chain_(chain) {}
  ~Player() override {
    if (chain_) chain_->removeDelegate(this);
  }
  void ping(int value) override {
    journal_.add(name_ + ".ping" + std::to_string(value));
    if (onPing) onPing();
  }
  void pong(const std::string& text) override { journal_.add(name_ + ".pong " + text); }
  std::function<void()> onPing;

 private:
  std::string name_;
  Journal& journal_;
  DelegateChain<IGame>* chain_;
};

// Implements only IPong, so a ping walk passes it by on the non-conforming branch.
class PongOnly : public IPong {
 public:
  explicit PongOnly(DelegateChain<IGame>& chain) : chain_(chain) {}
  ~PongOnly() override { chain_.removeDelegate(this); }
  void pong(const std::string&) override {}

 private:
  DelegateChain<IGame>& chain_;
};

void drainMainLoop() {
  while (mainLoop().processPending() > 0) {
  }
}

// Runs the main loop until the journal has `count` entries more; those entries.
std::vector<std::string> awaitEvents(Journal& journal, std::size_t count) {
  std::vector<std::string> seen;
  EXPECT_TRUE(mainLoop().runUntil(
      [&] {
        for (std::string& event : journal.take()) seen.push_back(std::move(event));
        return seen.size() >= count;
      },
      10.0));
  return seen;
}

TEST(DelegateChainTest, DirectObserversRunFirstThenMainThreadOnesThenTheLastObserver) {
  Journal journal;
  auto main1 = std::make_shared<Player>("main1", journal);
  auto direct = std::make_shared<Player>("direct", journal);
  auto main2 = std::make_shared<Player>("main2", journal);
  auto last = std::make_shared<Player>("last", journal);
  DelegateChain<IGame> chain;
  chain.setLastDelegate(last);
  chain.call(&IPong::pong, std::string("x"));  // without observers only the last one hears it
  EXPECT_TRUE(journal.take().empty()) << "a posted call runs on a later turn of the loop";
  drainMainLoop();
  EXPECT_EQ(journal.take(), std::vector<std::string>{"last.pong x@main"});
  chain.addDelegate(main1);
  chain.addDelegateStraight(direct);
  chain.addDelegateOnMainThread(main2);

  std::thread worker([&] {
    chain.call(&IPing::ping, 7);
    EXPECT_EQ(journal.take(), std::vector<std::string>{"direct.ping7@worker"})
        << "only the direct observer may have run when call() returns";
  });
  worker.join();
  drainMainLoop();
  EXPECT_EQ(journal.take(),
            (std::vector<std::string>{"main1.ping7@main", "main2.ping7@main", "last.ping7@main"}));
}

TEST(DelegateChainTest, ObserverWithoutTheFacetIsSkippedWithOneLinePerCall) {
  testing::LogCapture log;
  DelegateChain<IGame> chain;
  auto partial = std::make_shared<PongOnly>(chain);
  chain.addDelegateStraight(partial);
  EXPECT_TRUE(chain.respondsToSelector(&IPong::pong));
  EXPECT_FALSE(chain.respondsToSelector(&IPing::ping));
  chain.call(&IPing::ping, 1);
  chain.call(&IPing::ping, 2);
  chain.call(&IPong::pong, std::string("a"));
  EXPECT_EQ(log.texts(), (std::vector<std::string>{kNonConforming, kNonConforming}));
}

TEST(DelegateChainTest, AnObserverKeepsTheModeOfItsFirstRegistrationUntilRemoved) {
  Journal journal;
  auto player = std::make_shared<Player>("p", journal);
  auto other = std::make_shared<Player>("o", journal);
  DelegateChain<IGame> chain;
  chain.removeDelegate(player);  // never added
  chain.addDelegate(nullptr);
  chain.addDelegate(player);
  chain.addDelegateStraight(player);
  EXPECT_EQ(chain.delegateCount(), 1u);
  chain.call(&IPing::ping, 1);
  EXPECT_TRUE(journal.take().empty()) << "stayed a main-thread observer";
  drainMainLoop();
  EXPECT_EQ(journal.take(), std::vector<std::string>{"p.ping1@main"});
  // After removal the next registration decides afresh.
  chain.removeAllDelegate();
  chain.addDelegateStraight(other);
  chain.addDelegateStraight(player);
  chain.removeDelegate(other);
  chain.call(&IPing::ping, 2);
  EXPECT_EQ(journal.take(), std::vector<std::string>{"p.ping2@main"}) << "direct on this thread";
}

TEST(DelegateChainTest, PostedCallKeepsItsObserverAliveAndAGoneObserverIsNeverCalled) {
  Journal journal;
  DelegateChain<IGame> chain;
  auto kept = std::make_shared<Player>("kept", journal);
  std::weak_ptr<Player> weakKept = kept;
  chain.addDelegate(kept);
  chain.call(&IPing::ping, 1);
  kept.reset();
  EXPECT_FALSE(weakKept.expired()) << "the pending delivery must hold the observer";
  drainMainLoop();
  EXPECT_TRUE(weakKept.expired());
  EXPECT_EQ(journal.take(), std::vector<std::string>{"kept.ping1@main"});

  auto gone = std::make_shared<Player>("gone", journal);
  chain.addDelegateStraight(gone);
  gone.reset();  // destroyed without removing itself
  chain.call(&IPing::ping, 2);
  drainMainLoop();
  EXPECT_TRUE(journal.take().empty());
}

// Registers a direct observer that only owns itself and lets go of itself during its ping: the
// walk then holds the last reference.
void addSelfReleasing(DelegateChain<IGame>& chain, Journal& journal) {
  auto releasing = std::make_shared<Player>("releasing", journal, &chain);
  releasing->onPing = [owner = releasing]() mutable { owner.reset(); };
  chain.addDelegateStraight(releasing);
}

TEST(DelegateChainTest, ObserverDestroyedByTheWalkItselfEndsTheWalkWithoutReadingPastTheList) {
  Journal journal;
  DelegateChain<IGame> chain;
  auto second = std::make_shared<Player>("second", journal);
  auto third = std::make_shared<Player>("third", journal);
  auto last = std::make_shared<Player>("last", journal);
  chain.setLastDelegate(last);
  addSelfReleasing(chain, journal);
  chain.addDelegateStraight(second);
  chain.addDelegateStraight(third);
  {
    testing::LogCapture log;
    chain.call(&IPing::ping, 1);
    drainMainLoop();
    EXPECT_EQ(journal.take(), std::vector<std::string>{"releasing.ping1@main"})
        << "the list changed with observers left to visit: none of them, nor the last, is called";
    EXPECT_EQ(log.texts(), std::vector<std::string>{kMutated});
  }
  EXPECT_EQ(chain.delegateCount(), 2u);

  // As the final observer, nothing is left to visit: the walk ends normally.
  chain.removeAllDelegate();
  chain.addDelegateStraight(second);
  addSelfReleasing(chain, journal);
  testing::LogCapture log;
  chain.call(&IPing::ping, 2);
  drainMainLoop();
  EXPECT_EQ(journal.take(), (std::vector<std::string>{"second.ping2@main", "releasing.ping2@main",
                                                      "last.ping2@main"}));
  EXPECT_TRUE(log.texts().empty());
  EXPECT_EQ(chain.delegateCount(), 1u);
}

TEST(DelegateChainTest, ObserverReleasedByAnotherThreadDuringTheWalkIsNeverReadPast) {
  // Another thread drops a passed-by observer's last outside reference while walks go on:
  // whenever the walk held the last one, the observer goes away inside the walk. Every walk
  // either reaches the observer after it or reports the change; none reads past the list.
  testing::LogCapture log;
  Journal journal;
  DelegateChain<IGame> chain;
  auto counting = std::make_shared<Player>("counting", journal);
  int calls = 0;
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
    while (!watch.expired()) {
      chain.call(&IPing::ping, round);
      ++calls;
    }
    dropper.join();
    EXPECT_EQ(chain.delegateCount(), 1u);
  }
  const auto errors = static_cast<int>(log.count(kMutated));
  EXPECT_EQ(static_cast<int>(journal.take().size()) + errors, calls)
      << "a walk skipped the observer after the released one without saying so";
}

TEST(DelegateChainTest, OtherExceptionsReachTheCallerAndLeaveTheChainUsable) {
  Journal journal;
  DelegateChain<IGame> chain;
  auto thrower = std::make_shared<Player>("thrower", journal);
  thrower->onPing = [] { throw std::runtime_error("observer failed"); };
  chain.addDelegateStraight(thrower);
  EXPECT_THROW(chain.call(&IPing::ping, 1), std::runtime_error);
  // The lock was released: another thread can use the chain.
  auto player = std::make_shared<Player>("p", journal);
  std::thread([&] {
    chain.removeDelegate(thrower);
    chain.addDelegateStraight(player);
    chain.call(&IPing::ping, 2);
  }).join();
  EXPECT_EQ(journal.take(), (std::vector<std::string>{"thrower.ping1@main", "p.ping2@worker"}));
}

TEST(DelegateChainTest, CoalescedObserverGetsTheNewestCallOfEachFacetWhileOneIsPending) {
  Journal journal;
  DelegateChain<IGame> chain;
  auto every = std::make_shared<Player>("every", journal);
  auto newest = std::make_shared<Player>("newest", journal);
  auto last = std::make_shared<Player>("last", journal);
  chain.addDelegate(every);
  chain.addDelegateCoalesced(newest);
  chain.addDelegateCoalesced(newest);  // once registered, once delivered
  chain.setLastDelegate(last, true);
  std::thread worker([&] {
    chain.call(&IPing::ping, 1);
    chain.call(&IPong::pong, std::string("a"));
    chain.call(&IPing::ping, 2);
    chain.call(&IPing::ping, 3);
  });
  worker.join();
  drainMainLoop();
  EXPECT_EQ(journal.take(),
            (std::vector<std::string>{"every.ping1@main", "newest.ping3@main", "last.ping3@main",
                                      "every.pong a@main", "newest.pong a@main", "last.pong a@main",
                                      "every.ping2@main", "every.ping3@main"}))
      << "the pending ping carries the newest value, ahead of the pong made after the first";
  // Right after a delivery the next one is held back for a short interval: the newest value
  // arrives when it ends, or as soon as a call of another facet follows, ahead of it.
  const auto delivered = std::chrono::steady_clock::now();
  chain.call(&IPing::ping, 4);
  chain.call(&IPing::ping, 5);
  drainMainLoop();
  EXPECT_EQ(journal.take(), (std::vector<std::string>{"every.ping4@main", "every.ping5@main"}))
      << "the coalescing observers wait for the interval to end";
  const std::vector<std::string> held = awaitEvents(journal, 2);
  EXPECT_GE(std::chrono::steady_clock::now() - delivered, std::chrono::milliseconds(15));
  EXPECT_EQ(held, (std::vector<std::string>{"newest.ping5@main", "last.ping5@main"}));
  // Whether ping 6 is still held back when it is made depends on how fast this machine got here;
  // either way each observer hears it ahead of the pong made after it.
  chain.call(&IPing::ping, 6);
  chain.call(&IPong::pong, std::string("b"));
  const std::vector<std::string> last6 = awaitEvents(journal, 6);
  for (const std::string observer : {"every.", "newest.", "last."}) {
    std::vector<std::string> heard;
    for (const std::string& event : last6)
      if (event.starts_with(observer)) heard.push_back(event.substr(observer.size()));
    EXPECT_EQ(heard, (std::vector<std::string>{"ping6@main", "pong b@main"}))
        << observer << ": a held-back call goes ahead of the observer's call of another facet "
        << "made after it";
  }
}

}  // namespace
}  // namespace xr
