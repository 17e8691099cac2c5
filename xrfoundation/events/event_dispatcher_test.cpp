#include "xrfoundation/events/event_dispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using namespace std::chrono_literals;
using Calls = std::vector<std::string>;

struct Base {
  virtual ~Base() = default;
};

// Records every call it receives as "name:value" in a list shared by the test.
class Listener : public Base {
 public:
  Listener(std::string name, std::shared_ptr<Calls> calls)
      : name_(std::move(name)), calls_(std::move(calls)) {}
  void onValue(int value) { calls_->push_back(name_ + ":" + std::to_string(value)); }
  // Marked with ' so that a target's two handlers can be told apart.
  void onValueConst(int value) const { calls_->push_back(name_ + "':" + std::to_string(value)); }
  void onItem(int value, const std::shared_ptr<int>& item) {
    calls_->push_back(name_ + ":" + std::to_string(value) + "/" +
                      (item ? std::to_string(*item) : "null"));
  }

 private:
  std::string name_;
  std::shared_ptr<Calls> calls_;
};

class Stranger : public Base {};

// A handler that runs what the test gives it, e.g. changes the dispatcher it is fired from.
struct Meddler {
  std::function<void()> action;
  void onValue(int) { action(); }
};

std::shared_ptr<EventDispatcher> intDispatcher() {
  return EventDispatcher::create(MethodSignature::of<void(int)>());
}

TEST(EventDispatcherTest, RefusesAnotherSignatureOrATargetWithoutTheOperationSilently) {
  testing::LogCapture log;
  auto dispatcher = intDispatcher();
  auto listener = std::make_shared<Listener>("a", std::make_shared<Calls>());
  std::shared_ptr<Base> asBase = listener, stranger = std::make_shared<Stranger>();
  EXPECT_TRUE(dispatcher->addEventHandler(asBase, &Listener::onValue));
  EXPECT_FALSE(dispatcher->addEventHandler(listener, &Listener::onItem));
  EXPECT_FALSE(dispatcher->addEventHandler(stranger, &Listener::onValue));
  EXPECT_FALSE(dispatcher->addEventHandler(std::shared_ptr<Listener>(), &Listener::onValue));
  EXPECT_EQ(dispatcher->handlerCount(), 1u);
  EXPECT_TRUE(log.texts().empty());
}

TEST(EventDispatcherTest, FiresInTheOrderAddedAndRemovesTheFirstOrEveryHandlerOfATarget) {
  auto calls = std::make_shared<Calls>();
  auto a = std::make_shared<Listener>("a", calls), b = std::make_shared<Listener>("b", calls);
  auto c = std::make_shared<Listener>("c", calls);
  auto twinOfA = std::make_shared<Listener>("a", calls);  // alike, but another object
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
    auto dispatcher = intDispatcher();
    ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onValue));
    ASSERT_TRUE(dispatcher->addEventHandler(b, &Listener::onValue));
    ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onValueConst));
    ASSERT_TRUE(dispatcher->addEventHandler(c, &Listener::onValue));
    ASSERT_TRUE(dispatcher->setArgument(1, kFirstArgumentIndex));
    if (row.every)
      dispatcher->removeAllEventHandler(row.target);
    else
      dispatcher->removeOneEventHandler(row.target);
    calls->clear();
    dispatcher->fireEvent();
    EXPECT_EQ(*calls, row.left) << row.what;
  }
}

// Values and retention reach the handlers there when they are asked for, not later ones; a
// value of a wrong type or position changes nothing; a handler whose target has gone,
// unretained, is skipped while the others still run.
TEST(EventDispatcherTest, ValuesAndRetentionReachOnlyTheHandlersAlreadyThere) {
  auto calls = std::make_shared<Calls>();
  auto dispatcher = EventDispatcher::create(MethodSignature::of(&Listener::onItem));
  auto a = std::make_shared<Listener>("a", calls);
  auto item = std::make_shared<int>(5);
  std::weak_ptr<Listener> aAlive = a;
  std::weak_ptr<int> itemAlive = item;
  ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onItem));
  ASSERT_TRUE(dispatcher->setArgument(7, kFirstArgumentIndex));
  ASSERT_TRUE(dispatcher->setArgument(item, kFirstArgumentIndex + 1));
  EXPECT_FALSE(dispatcher->setArgument(8L, kFirstArgumentIndex));
  EXPECT_FALSE(dispatcher->setArgument("9", kFirstArgumentIndex));
  EXPECT_FALSE(dispatcher->setArgument(10, kFirstArgumentIndex + 1));
  EXPECT_FALSE(dispatcher->setArgument(11, kFirstArgumentIndex + 2));
  EXPECT_FALSE(dispatcher->setArgument(12, 0));
  dispatcher->argumentsRetained();
  a.reset();
  item.reset();
  auto late = std::make_shared<Listener>("late", calls),
       last = std::make_shared<Listener>("last", calls);
  std::weak_ptr<Listener> lateAlive = late;
  ASSERT_TRUE(dispatcher->addEventHandler(late, &Listener::onItem));
  ASSERT_TRUE(dispatcher->addEventHandler(last, &Listener::onItem));
  dispatcher->fireEvent();
  EXPECT_EQ(*calls, (Calls{"a:7/5", "late:0/null", "last:0/null"}));
  late.reset();
  EXPECT_TRUE(lateAlive.expired()) << "the earlier retention reached a later handler";
  calls->clear();
  dispatcher->fireEvent();
  EXPECT_EQ(*calls, (Calls{"a:7/5", "last:0/null"}));
  dispatcher.reset();
  EXPECT_TRUE(aAlive.expired() && itemAlive.expired());
}

TEST(EventDispatcherTest, HandlersMayChangeTheListWhileItIsFired) {
  auto calls = std::make_shared<Calls>();
  auto dispatcher = intDispatcher();
  auto meddler = std::make_shared<Meddler>();
  auto b = std::make_shared<Listener>("b", calls), c = std::make_shared<Listener>("c", calls);
  meddler->action = [&] {
    calls->push_back("meddler");
    dispatcher->removeAllEventHandler(b);
    dispatcher->removeOneEventHandler(meddler);
    EXPECT_TRUE(dispatcher->addEventHandler(c, &Listener::onValue));
  };
  ASSERT_TRUE(dispatcher->addEventHandler(meddler, &Meddler::onValue));
  ASSERT_TRUE(dispatcher->addEventHandler(b, &Listener::onValue));
  dispatcher->fireEvent();
  EXPECT_EQ(*calls, Calls{"meddler"}) << "b was removed before its turn; c joined after the start";
  calls->clear();
  dispatcher->fireEvent();
  EXPECT_EQ(*calls, Calls{"c:0"});

  // A handler may let go of the last reference to the dispatcher it is fired from.
  auto d = std::make_shared<Listener>("d", calls);
  ASSERT_TRUE(dispatcher->addEventHandler(meddler, &Meddler::onValue));
  ASSERT_TRUE(dispatcher->addEventHandler(d, &Listener::onValue));
  meddler->action = [&] { dispatcher.reset(); };
  std::weak_ptr<EventDispatcher> alive = dispatcher;
  calls->clear();
  EventDispatcher* firing = dispatcher.get();
  firing->fireEvent();
  EXPECT_EQ(*calls, (Calls{"c:0", "d:0"}));
  EXPECT_TRUE(alive.expired());
}

TEST(EventDispatcherTest, FiresOnTheMainThreadWaitingOrNot) {
  auto calls = std::make_shared<Calls>();
  auto dispatcher = intDispatcher();
  auto listener = std::make_shared<Listener>("a", calls);
  auto noter = std::make_shared<Meddler>();
  std::thread::id ranOn;
  noter->action = [&] { ranOn = std::this_thread::get_id(); };
  ASSERT_TRUE(dispatcher->addEventHandler(listener, &Listener::onValue));
  ASSERT_TRUE(dispatcher->addEventHandler(noter, &Meddler::onValue));
  ASSERT_TRUE(dispatcher->setArgument(1, kFirstArgumentIndex));
  // On the main thread the handlers have run before the call returns, whatever wait says.
  for (bool wait : {false, true}) {
    calls->clear();
    dispatcher->fireEventInMainThread(wait);
    EXPECT_EQ(*calls, Calls{"a:1"}) << "wait " << wait;
  }
  // From a worker with wait: the handlers have run, on the main thread, when it returns.
  calls->clear();
  ranOn = {};
  auto seen = std::async(std::launch::async, [&] {
    dispatcher->fireEventInMainThread(true);
    return *calls;
  });
  ASSERT_TRUE(
      mainLoop().runUntil([&] { return seen.wait_for(0s) == std::future_status::ready; }, 10.0));
  EXPECT_EQ(seen.get(), Calls{"a:1"});
  EXPECT_EQ(ranOn, std::this_thread::get_id());
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
  ASSERT_TRUE(mainLoop().runUntil([&] { return !calls->empty(); }, 10.0));
  posted.get();
  EXPECT_EQ(*calls, Calls{"a:1"});
  mainLoop().processPending();
  EXPECT_TRUE(alive.expired()) << "the queued firing let go of the dispatcher after it ran";
}

}  // namespace
}  // namespace xr
