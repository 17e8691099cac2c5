#include "xrfoundation/events/event_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
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

using Calls = std::vector<std::string>;

struct Item {
  int id = 0;
};

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
  void onItem(int value, const std::shared_ptr<Item>& item) {
    calls_->push_back(name_ + ":" + std::to_string(value) + "/" +
                      (item ? std::to_string(item->id) : "null"));
  }
  void onText(std::string text) { calls_->push_back(name_ + ":" + text); }
  int countValue(int value) { return value; }

 private:
  std::string name_;
  std::shared_ptr<Calls> calls_;
};

class Stranger : public Base {};

std::shared_ptr<EventDispatcher> intDispatcher() {
  return EventDispatcher::create(MethodSignature::of<void(int)>());
}

TEST(EventDispatcherTest, AcceptsOnlyHandlersOfItsSignatureAndSaysNothingWhenRefusing) {
  auto calls = std::make_shared<Calls>();
  auto listener = std::make_shared<Listener>("a", calls);
  std::shared_ptr<Base> listenerAsBase = listener;
  std::shared_ptr<Base> stranger = std::make_shared<Stranger>();
  struct Row {
    const char* what;
    std::function<bool(IEventDispatcher&)> add;
    bool accepted;
  };
  const Row rows[] = {
      {"same single parameter",
       [&](auto& d) { return d.addEventHandler(listener, &Listener::onValue); }, true},
      {"const operation",
       [&](auto& d) { return d.addEventHandler(listener, &Listener::onValueConst); }, true},
      {"target seen through its base",
       [&](auto& d) { return d.addEventHandler(listenerAsBase, &Listener::onValue); }, true},
      {"two parameters", [&](auto& d) { return d.addEventHandler(listener, &Listener::onItem); },
       false},
      {"another parameter type",
       [&](auto& d) { return d.addEventHandler(listener, &Listener::onText); }, false},
      {"another result type",
       [&](auto& d) { return d.addEventHandler(listener, &Listener::countValue); }, false},
      {"target without the operation",
       [&](auto& d) { return d.addEventHandler(stranger, &Listener::onValue); }, false},
      {"null target",
       [&](auto& d) { return d.addEventHandler(std::shared_ptr<Listener>(), &Listener::onValue); },
       false},
  };
  for (const Row& row : rows) {
    testing::LogCapture log;
    auto dispatcher = intDispatcher();
    EXPECT_EQ(row.add(*dispatcher), row.accepted) << row.what;
    EXPECT_EQ(dispatcher->handlerCount(), row.accepted ? 1u : 0u) << row.what;
    EXPECT_TRUE(log.texts().empty()) << row.what;
  }
}

TEST(EventDispatcherTest, FiresHandlersInTheOrderTheyWereAdded) {
  auto calls = std::make_shared<Calls>();
  auto a = std::make_shared<Listener>("a", calls);
  auto b = std::make_shared<Listener>("b", calls);
  auto dispatcher = intDispatcher();
  ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onValue));
  ASSERT_TRUE(dispatcher->addEventHandler(b, &Listener::onValue));
  ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onValueConst));
  ASSERT_TRUE(dispatcher->setArgument(7, kFirstArgumentIndex));
  dispatcher->fireEvent();
  dispatcher->fireEvent();
  EXPECT_EQ(*calls, (Calls{"a:7", "b:7", "a':7", "a:7", "b:7", "a':7"}));

  calls->clear();
  intDispatcher()->fireEvent();  // an empty dispatcher fires without effect
  EXPECT_TRUE(calls->empty());
}

TEST(EventDispatcherTest, RemovesTheFirstOrEveryHandlerOfATarget) {
  auto calls = std::make_shared<Calls>();
  auto a = std::make_shared<Listener>("a", calls);
  auto b = std::make_shared<Listener>("b", calls);
  auto c = std::make_shared<Listener>("c", calls);
  auto twinOfA = std::make_shared<Listener>("a", calls);  // alike, but another object
  struct Row {
    const char* what;
    std::function<void(IEventDispatcher&)> remove;
    Calls left;
  };
  // The list is a, b, a' (a's second handler, through onValueConst), c.
  const Row rows[] = {
      {"removeOne", [&](auto& d) { d.removeOneEventHandler(a); }, {"b:1", "a':1", "c:1"}},
      {"removeAll", [&](auto& d) { d.removeAllEventHandler(a); }, {"b:1", "c:1"}},
      {"removeOne twice",
       [&](auto& d) { d.removeOneEventHandler(a), d.removeOneEventHandler(a); },
       {"b:1", "c:1"}},
      {"removeOne of the middle",
       [&](auto& d) { d.removeOneEventHandler(b); },
       {"a:1", "a':1", "c:1"}},
      {"removeOne of another object",
       [&](auto& d) { d.removeOneEventHandler(twinOfA); },
       {"a:1", "b:1", "a':1", "c:1"}},
      {"removeAll of another object",
       [&](auto& d) { d.removeAllEventHandler(twinOfA); },
       {"a:1", "b:1", "a':1", "c:1"}},
      {"removeAll of null",
       [&](auto& d) { d.removeAllEventHandler(nullptr); },
       {"a:1", "b:1", "a':1", "c:1"}},
  };
  for (const Row& row : rows) {
    auto dispatcher = intDispatcher();
    ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onValue));
    ASSERT_TRUE(dispatcher->addEventHandler(b, &Listener::onValue));
    ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onValueConst));
    ASSERT_TRUE(dispatcher->addEventHandler(c, &Listener::onValue));
    ASSERT_TRUE(dispatcher->setArgument(1, kFirstArgumentIndex));
    row.remove(*dispatcher);
    calls->clear();
    dispatcher->fireEvent();
    EXPECT_EQ(*calls, row.left) << row.what;
  }
}

TEST(EventDispatcherTest, AValueSetBeforeAHandlerWasAddedDoesNotReachIt) {
  auto calls = std::make_shared<Calls>();
  auto dispatcher = EventDispatcher::create(MethodSignature::of(&Listener::onItem));
  auto a = std::make_shared<Listener>("a", calls);
  ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onItem));
  auto item = std::make_shared<Item>(Item{5});
  ASSERT_TRUE(dispatcher->setArgument(7, kFirstArgumentIndex));
  ASSERT_TRUE(dispatcher->setArgument(item, kFirstArgumentIndex + 1));
  dispatcher->argumentsRetained();
  // The later handler's target is kept alive here only by the dispatcher, and only if the
  // earlier retention reached it -- which it must not.
  auto late = std::make_shared<Listener>("late", calls);
  std::weak_ptr<Listener> lateAlive = late;
  ASSERT_TRUE(dispatcher->addEventHandler(late, &Listener::onItem));
  dispatcher->fireEvent();
  EXPECT_EQ(*calls, (Calls{"a:7/5", "late:0/null"}));
  late.reset();
  EXPECT_TRUE(lateAlive.expired());
}

TEST(EventDispatcherTest, SetArgumentChangesNothingForAWrongTypeOrPosition) {
  auto calls = std::make_shared<Calls>();
  auto dispatcher = intDispatcher();
  auto a = std::make_shared<Listener>("a", calls);
  ASSERT_TRUE(dispatcher->addEventHandler(a, &Listener::onValue));
  struct Row {
    const char* what;
    std::function<bool(IEventDispatcher&)> set;
  };
  const Row rows[] = {
      {"long for int", [](auto& d) { return d.setArgument(8L, kFirstArgumentIndex); }},
      {"text for int", [](auto& d) { return d.setArgument("8", kFirstArgumentIndex); }},
      {"position past the last", [](auto& d) { return d.setArgument(8, kFirstArgumentIndex + 1); }},
      {"target position", [](auto& d) { return d.setArgument(8, 0); }},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(dispatcher->setArgument(7, kFirstArgumentIndex));
    EXPECT_FALSE(row.set(*dispatcher)) << row.what;
    calls->clear();
    dispatcher->fireEvent();
    EXPECT_EQ(*calls, Calls{"a:7"}) << row.what;
  }
}

TEST(EventDispatcherTest, SkipsHandlersWhoseTargetOrObjectValueHasGoneUntilRetained) {
  auto calls = std::make_shared<Calls>();
  auto dispatcher = EventDispatcher::create(MethodSignature::of(&Listener::onItem));
  auto kept = std::make_shared<Listener>("kept", calls);
  auto gone = std::make_shared<Listener>("gone", calls);
  ASSERT_TRUE(dispatcher->addEventHandler(gone, &Listener::onItem));
  ASSERT_TRUE(dispatcher->addEventHandler(kept, &Listener::onItem));
  gone.reset();
  dispatcher->fireEvent();
  EXPECT_EQ(*calls, Calls{"kept:0/null"}) << "a null object value is passed on";

  auto item = std::make_shared<Item>(Item{3});
  ASSERT_TRUE(dispatcher->setArgument(item, kFirstArgumentIndex + 1));
  item.reset();
  calls->clear();
  dispatcher->fireEvent();
  EXPECT_TRUE(calls->empty()) << "an object value that has gone is not passed on as null";

  item = std::make_shared<Item>(Item{4});
  std::weak_ptr<Item> itemAlive = item;
  std::weak_ptr<Listener> keptAlive = kept;
  ASSERT_TRUE(dispatcher->setArgument(item, kFirstArgumentIndex + 1));
  dispatcher->argumentsRetained();
  item.reset();
  kept.reset();
  calls->clear();
  dispatcher->fireEvent();
  EXPECT_EQ(*calls, Calls{"kept:0/4"});
  dispatcher.reset();
  EXPECT_TRUE(itemAlive.expired());
  EXPECT_TRUE(keptAlive.expired());
}

// A handler that changes the dispatcher it is fired from.
class Meddler {
 public:
  std::function<void()> action;
  void onValue(int) { action(); }
};

TEST(EventDispatcherTest, HandlersMayChangeTheListWhileItIsFired) {
  auto calls = std::make_shared<Calls>();
  auto dispatcher = intDispatcher();
  auto meddler = std::make_shared<Meddler>();
  auto b = std::make_shared<Listener>("b", calls);
  auto c = std::make_shared<Listener>("c", calls);
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
  EventDispatcher* firing = dispatcher.get();
  calls->clear();
  firing->fireEvent();
  EXPECT_EQ(*calls, (Calls{"c:0", "d:0"}));
  EXPECT_TRUE(alive.expired());
}

TEST(EventDispatcherTest, FiresOnTheMainThreadWaitingOrNot) {
  const std::thread::id mainId = std::this_thread::get_id();
  auto calls = std::make_shared<Calls>();
  auto dispatcher = intDispatcher();
  auto listener = std::make_shared<Listener>("a", calls);
  ASSERT_TRUE(dispatcher->addEventHandler(listener, &Listener::onValue));
  ASSERT_TRUE(dispatcher->setArgument(1, kFirstArgumentIndex));

  // On the main thread the handlers have run before the call returns, whatever wait says.
  for (bool wait : {false, true}) {
    calls->clear();
    dispatcher->fireEventInMainThread(wait);
    EXPECT_EQ(*calls, Calls{"a:1"}) << "wait " << wait;
  }

  // From a worker with wait: the handlers have run, on the main thread, when it returns.
  calls->clear();
  std::thread::id ranOn;
  auto noter = std::make_shared<Meddler>();
  noter->action = [&] { ranOn = std::this_thread::get_id(); };
  ASSERT_TRUE(dispatcher->addEventHandler(noter, &Meddler::onValue));
  std::atomic<bool> returned{false};
  Calls seenOnReturn;
  std::thread waiter([&] {
    dispatcher->fireEventInMainThread(true);
    seenOnReturn = *calls;
    returned = true;
  });
  ASSERT_TRUE(mainLoop().runUntil([&] { return returned.load(); }, 10.0));
  waiter.join();
  EXPECT_EQ(seenOnReturn, Calls{"a:1"});
  EXPECT_EQ(ranOn, mainId);

  // From a worker without wait: it returns while the main loop is not running, and the
  // queued firing keeps the dispatcher alive after the worker let go of it.
  calls->clear();
  std::weak_ptr<EventDispatcher> alive = dispatcher;
  std::promise<void> posted;
  std::thread poster([&posted, queued = std::move(dispatcher)]() mutable {
    queued->fireEventInMainThread(false);
    queued.reset();
    posted.set_value();
  });
  ASSERT_EQ(posted.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  poster.join();
  EXPECT_TRUE(calls->empty());
  EXPECT_FALSE(alive.expired());
  ASSERT_TRUE(mainLoop().runUntil([&] { return !calls->empty(); }, 10.0));
  EXPECT_EQ(*calls, Calls{"a:1"});
  mainLoop().processPending();
  EXPECT_TRUE(alive.expired()) << "the queued firing let go of the dispatcher after it ran";
}

}  // namespace
}  // namespace xr
