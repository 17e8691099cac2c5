#include "xrfoundation/events/event_dispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using namespace std::chrono_literals;
using Calls = std::vector<std::string>;

// Notes every call it receives as "name:values" in a list shared by the test.
struct Listener {
  Listener(std::string n, std::shared_ptr<Calls> c) : name(std::move(n)), calls(std::move(c)) {}
  void onValue(int value) { calls->push_back(name + ":" + std::to_string(value)); }
  // Marked with ' so that a target's two handlers can be told apart.
  void onValueConst(int value) const { calls->push_back(name + "':" + std::to_string(value)); }
  void onItem(int value, const std::shared_ptr<int>& item) {
    calls->push_back(name + ":" + std::to_string(value) + "/" +
                     (item ? std::to_string(*item) : "null"));
  }
  std::string name;
  std::shared_ptr<Calls> calls;
};

// A handler that runs what the test gives it, e.g. changes the dispatcher it is fired from.
struct Meddler {
  std::function<void()> action;
  void onValue(int) { action(); }
};

class EventDispatcherTest : public ::testing::Test {
 protected:
  std::shared_ptr<Listener> listener(std::string name) {
    return std::make_shared<Listener>(std::move(name), calls);
  }
  // What the handlers note when the dispatcher fires once more.
  Calls fired() {
    calls->clear();
    dispatcher->fireEvent();
    return *calls;
  }
  std::shared_ptr<Calls> calls = std::make_shared<Calls>();
  std::shared_ptr<EventDispatcher> dispatcher =
      EventDispatcher::create(MethodSignature::of<void(int)>());
};

TEST_F(EventDispatcherTest, RefusesAnotherSignatureOrATargetWithoutTheOperationSilently) {
  testing::LogCapture log;
  EXPECT_TRUE(dispatcher->addEventHandler(listener("a"), &Listener::onValue));
  EXPECT_FALSE(dispatcher->addEventHandler(listener("b"), &Listener::onItem));
  EXPECT_FALSE(dispatcher->addEventHandler(std::make_shared<Meddler>(), &Listener::onValue));
  EXPECT_FALSE(dispatcher->addEventHandler(std::shared_ptr<Listener>(), &Listener::onValue));
  EXPECT_EQ(dispatcher->handlerCount(), 1u);
  EXPECT_TRUE(log.texts().empty());
}

TEST_F(EventDispatcherTest, FiresInTheOrderAddedAndRemovesTheFirstOrEveryHandlerOfATarget) {
  auto a = listener("a"), b = listener("b"), c = listener("c");
  auto twinOfA = listener("a");  // alike, but another object
  struct Row {
    const char* what;
    std::shared_ptr<Listener> target;
    bool every;
    Calls left;
  };
  // The list is a, b, a' (a's second handler, through onValueConst), c.
  const Row rows[] = {
      {"first of a", a, false, {"b:1", "a':1", "c:1"}},
      {"every a", a, true, {"b:1", "c:1"}},
      {"first of b, in the middle", b, false, {"a:1", "a':1", "c:1"}},
      {"another object alike", twinOfA, true, {"a:1", "b:1", "a':1", "c:1"}},
      {"null", nullptr, false, {"a:1", "b:1", "a':1", "c:1"}},
  };
  for (const Row& row : rows) {
    dispatcher = EventDispatcher::create(MethodSignature::of<void(int)>());
    ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onValue));
    ASSERT_TRUE(dispatcher->addEventHandler(b, &Listener::onValue));
    ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onValueConst));
    ASSERT_TRUE(dispatcher->addEventHandler(c, &Listener::onValue));
    ASSERT_TRUE(dispatcher->setArgument(1, kFirstArgumentIndex));
    row.every ? dispatcher->removeAllEventHandler(row.target)
              : dispatcher->removeOneEventHandler(row.target);
    EXPECT_EQ(fired(), row.left) << row.what;
  }
}

// Two listeners that live in one object share its owner, yet are two targets.
TEST_F(EventDispatcherTest, TargetsOfOneOwnerAreToldApartByObject) {
  // (An object and its first member share an address, and so cannot be told apart.)
  struct Pair {
    int id;
    Listener left;
    Listener right;
  };
  auto pair = std::make_shared<Pair>(Pair{1, Listener("left", calls), Listener("right", calls)});
  std::shared_ptr<Listener> left(pair, &pair->left), right(pair, &pair->right);
  for (bool every : {false, true}) {
    dispatcher = EventDispatcher::create(MethodSignature::of<void(int)>());
    ASSERT_TRUE(dispatcher->addEventHandler(left, &Listener::onValue));
    ASSERT_TRUE(dispatcher->addEventHandler(right, &Listener::onValue));
    ASSERT_TRUE(dispatcher->setArgument(1, kFirstArgumentIndex));
    every ? dispatcher->removeAllEventHandler(right) : dispatcher->removeOneEventHandler(right);
    EXPECT_EQ(fired(), Calls{"left:1"}) << (every ? "every" : "first");
  }
  // The owner itself is neither of them.
  dispatcher->removeAllEventHandler(pair);
  EXPECT_EQ(dispatcher->handlerCount(), 1u);
  // A polymorphic target added through a base is found through the whole object too.
  struct Base {
    virtual ~Base() = default;
    virtual void onValue(int) {}
  };
  struct Other {
    virtual ~Other() = default;
    int padding = 0;
  };
  struct Both : Other, Base {};
  auto both = std::make_shared<Both>();
  std::shared_ptr<Base> asBase = both;
  ASSERT_TRUE(dispatcher->addEventHandler(asBase, &Base::onValue));
  dispatcher->removeOneEventHandler(both);
  EXPECT_EQ(dispatcher->handlerCount(), 1u);
}

// A dispatcher whose targets go away without unsubscribing does not keep their handlers.
TEST_F(EventDispatcherTest, HandlersOfGoneTargetsAreDroppedAtTheNextChangeOrFiring) {
  auto keep = listener("keep");
  ASSERT_TRUE(dispatcher->addEventHandler(keep, &Listener::onValue));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(dispatcher->addEventHandler(listener("gone"), &Listener::onValue));
  }
  EXPECT_EQ(dispatcher->handlerCount(), 2u) << "the earlier ones went with each addition";
  EXPECT_EQ(fired(), Calls{"keep:0"});
  EXPECT_EQ(dispatcher->handlerCount(), 1u);

  ASSERT_TRUE(dispatcher->addEventHandler(listener("later"), &Listener::onValue));
  dispatcher->removeOneEventHandler(listener("nobody"));
  EXPECT_EQ(dispatcher->handlerCount(), 1u) << "a removal that matches nothing still prunes";
  // Retained handlers keep their targets, so they never go.
  auto held = listener("held");
  ASSERT_TRUE(dispatcher->addEventHandler(held, &Listener::onValue));
  dispatcher->argumentsRetained();
  held.reset();
  dispatcher->fireEvent();
  EXPECT_EQ(dispatcher->handlerCount(), 2u);
}

// Values and retention reach the handlers there when they are asked for, not later ones; a
// value of a wrong type or position changes nothing; a handler whose target has gone,
// unretained, is skipped while the others still run.
TEST_F(EventDispatcherTest, ValuesAndRetentionReachOnlyTheHandlersAlreadyThere) {
  dispatcher = EventDispatcher::create(MethodSignature::of(&Listener::onItem));
  auto a = listener("a");
  ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onItem));
  dispatcher->argumentsRetained();
  a.reset();  // kept by the dispatcher alone, as is the object value set after retention
  ASSERT_TRUE(dispatcher->setArgument(7, kFirstArgumentIndex));
  ASSERT_TRUE(dispatcher->setArgument(std::make_shared<int>(5), kFirstArgumentIndex + 1));
  EXPECT_FALSE(dispatcher->setArgument(8L, kFirstArgumentIndex));
  auto late = listener("late"), last = listener("last");
  std::weak_ptr<Listener> lateAlive = late;
  ASSERT_TRUE(dispatcher->addEventHandler(late, &Listener::onItem));
  ASSERT_TRUE(dispatcher->addEventHandler(last, &Listener::onItem));
  EXPECT_EQ(fired(), (Calls{"a:7/5", "late:0/null", "last:0/null"}));
  late.reset();
  EXPECT_TRUE(lateAlive.expired()) << "the earlier retention reached a later handler";
  EXPECT_EQ(fired(), (Calls{"a:7/5", "last:0/null"}));
}

TEST_F(EventDispatcherTest, HandlersMayChangeTheListWhileItIsFired) {
  auto meddler = std::make_shared<Meddler>();
  auto b = listener("b"), c = listener("c"), d = listener("d");
  meddler->action = [&] {
    calls->push_back("meddler");
    dispatcher->removeAllEventHandler(b);
    dispatcher->removeOneEventHandler(meddler);
    EXPECT_TRUE(dispatcher->addEventHandler(c, &Listener::onValue));
  };
  ASSERT_TRUE(dispatcher->addEventHandler(meddler, &Meddler::onValue));
  ASSERT_TRUE(dispatcher->addEventHandler(b, &Listener::onValue));
  EXPECT_EQ(fired(), Calls{"meddler"}) << "b was removed before its turn; c joined after the start";
  EXPECT_EQ(fired(), Calls{"c:0"});

  // A handler may let go of the last reference to the dispatcher it is fired from.
  ASSERT_TRUE(dispatcher->addEventHandler(meddler, &Meddler::onValue));
  ASSERT_TRUE(dispatcher->addEventHandler(d, &Listener::onValue));
  meddler->action = [&] { dispatcher.reset(); };
  std::weak_ptr<EventDispatcher> alive = dispatcher;
  EventDispatcher* firing = dispatcher.get();
  calls->clear();
  firing->fireEvent();
  EXPECT_EQ(*calls, (Calls{"c:0", "d:0"}));
  EXPECT_TRUE(alive.expired());
}

TEST_F(EventDispatcherTest, FiresOnTheMainThreadWaitingOrNot) {
  auto noter = std::make_shared<Meddler>();
  noter->action = [&] { calls->push_back(mainLoop().isMainThread() ? "main" : "elsewhere"); };
  ASSERT_TRUE(dispatcher->addEventHandler(noter, &Meddler::onValue));
  // On the main thread the handlers have run before the call returns, whatever wait says.
  dispatcher->fireEventInMainThread(false);
  dispatcher->fireEventInMainThread(true);
  EXPECT_EQ(*calls, (Calls{"main", "main"}));
  // From a worker with wait: the handlers have run, on the main thread, when it returns.
  calls->clear();
  auto seen = std::async(std::launch::async, [&] {
    dispatcher->fireEventInMainThread(true);
    return *calls;
  });
  ASSERT_TRUE(
      mainLoop().runUntil([&] { return seen.wait_for(0s) == std::future_status::ready; }, 10.0));
  EXPECT_EQ(seen.get(), Calls{"main"});
  // Without wait it returns while the main loop stands still, and the queued firing keeps the
  // dispatcher alive after the worker let go of it.
  calls->clear();
  std::weak_ptr<EventDispatcher> alive = dispatcher;
  auto posted = std::async(std::launch::async, [queued = std::move(dispatcher)]() mutable {
    queued->fireEventInMainThread(false);
    queued.reset();
  });
  EXPECT_EQ(posted.wait_for(10s), std::future_status::ready) << "it waited for the main loop";
  EXPECT_TRUE(calls->empty());
  EXPECT_FALSE(alive.expired());
  ASSERT_TRUE(mainLoop().runUntil([&] { return alive.expired(); }, 10.0));
  EXPECT_EQ(*calls, Calls{"main"});
}

}  // namespace
}  // namespace xr
