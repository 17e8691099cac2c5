#include "xrfoundation/events/main_thread_posting.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using namespace std::chrono_literals;

constexpr double kPatienceSeconds = 10.0;

bool isReady(const std::future<void>& future) {
  return future.wait_for(0s) == std::future_status::ready;
}

// What reached the observers of one notification name on one centre.
class Observed {
 public:
  struct Delivery {
    std::string name;
    std::shared_ptr<void> object;
    std::shared_ptr<const UserInfo> userInfo;
    std::thread::id thread;
  };

  // Two observers, so that "every observer" means more than one.
  Observed(NotificationCenter& center, const std::string& name) {
    for (int i = 0; i < 2; ++i)
      registrations_.push_back(center.addObserver(name, [this](const Notification& n) {
        std::lock_guard lock(mutex_);
        deliveries_.push_back({n.name(), n.object(), n.userInfo(), std::this_thread::get_id()});
      }));
  }
  std::vector<Delivery> deliveries() const {
    std::lock_guard lock(mutex_);
    return deliveries_;
  }
  std::size_t count() const {
    std::lock_guard lock(mutex_);
    return deliveries_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Delivery> deliveries_;  // guarded by mutex_
  std::vector<NotificationRegistration> registrations_;
};

struct PostForm {
  const char* what;
  bool waits;
  bool carriesUserInfo;
  std::function<void(NotificationCenter&, const std::string&, std::shared_ptr<void>,
                     std::shared_ptr<const UserInfo>)>
      post;
};

const PostForm kForms[] = {
    {"notification", false, true,
     [](auto& center, auto& name, auto sender, auto info) {
       postNotificationOnMainThread(center, Notification(name, sender, info));
     }},
    {"notification, no wait", false, true,
     [](auto& center, auto& name, auto sender, auto info) {
       postNotificationOnMainThread(center, Notification(name, sender, info), false);
     }},
    {"notification, wait", true, true,
     [](auto& center, auto& name, auto sender, auto info) {
       postNotificationOnMainThread(center, Notification(name, sender, info), true);
     }},
    {"name and sender", false, false,
     [](auto& center, auto& name, auto sender, auto) {
       postNotificationOnMainThreadWithName(center, name, sender);
     }},
    {"name, sender and user info", false, true,
     [](auto& center, auto& name, auto sender, auto info) {
       postNotificationOnMainThreadWithName(center, name, sender, info);
     }},
    {"name, sender and user info, no wait", false, true,
     [](auto& center, auto& name, auto sender, auto info) {
       postNotificationOnMainThreadWithName(center, name, sender, info, false);
     }},
    {"name, sender and user info, wait", true, true,
     [](auto& center, auto& name, auto sender, auto info) {
       postNotificationOnMainThreadWithName(center, name, sender, info, true);
     }},
};

void expectDelivered(const Observed& observed, const PostForm& form, const std::string& name,
                     const std::shared_ptr<void>& sender,
                     const std::shared_ptr<const UserInfo>& info) {
  const auto deliveries = observed.deliveries();
  ASSERT_EQ(deliveries.size(), 2u) << form.what;
  for (const auto& delivery : deliveries) {
    EXPECT_EQ(delivery.name, name) << form.what;
    EXPECT_EQ(delivery.object, sender) << form.what;
    EXPECT_EQ(delivery.userInfo, form.carriesUserInfo ? info : nullptr) << form.what;
    EXPECT_TRUE(mainLoop().isMainThread()) << form.what;
    EXPECT_EQ(delivery.thread, std::this_thread::get_id()) << form.what << ": not the main thread";
  }
}

TEST(MainThreadPostingTest, OnTheMainThreadEveryFormReachesTheReceivingCentreBeforeReturning) {
  auto sender = std::make_shared<int>(1);
  auto info = std::make_shared<const UserInfo>(UserInfo{{"key", 2}});
  for (const PostForm& form : kForms) {
    const std::string name = std::string("main/") + form.what;
    auto center = NotificationCenter::create();
    Observed receiving(*center, name);
    Observed byDefault(NotificationCenter::defaultCenter(), name);
    form.post(*center, name, sender, info);
    expectDelivered(receiving, form, name, sender, info);
    mainLoop().processPending();
    EXPECT_EQ(receiving.count(), 2u) << form.what << ": delivered once only";
    EXPECT_EQ(byDefault.count(), 0u) << form.what;
  }
}

TEST(MainThreadPostingTest, FromAWorkerEveryFormReachesTheDefaultCentreOnTheMainThread) {
  auto sender = std::make_shared<int>(1);
  auto info = std::make_shared<const UserInfo>(UserInfo{{"key", 2}});
  for (const PostForm& form : kForms) {
    const std::string name = std::string("worker/") + form.what;
    auto center = NotificationCenter::create();
    Observed receiving(*center, name);
    Observed byDefault(NotificationCenter::defaultCenter(), name);
    std::promise<void> returned;
    std::future<void> returnedFuture = returned.get_future();
    std::size_t deliveredOnReturn = 0;
    std::thread worker([&] {
      form.post(*center, name, sender, info);
      deliveredOnReturn = byDefault.count();
      returned.set_value();
    });
    if (form.waits) {
      ASSERT_TRUE(mainLoop().runUntil([&] { return isReady(returnedFuture); }, kPatienceSeconds))
          << form.what;
      EXPECT_EQ(deliveredOnReturn, 2u) << form.what << ": returned before every observer ran";
    } else {
      // The main loop is not running, so a post that waited would never return.
      ASSERT_EQ(returnedFuture.wait_for(std::chrono::duration<double>(kPatienceSeconds)),
                std::future_status::ready)
          << form.what << ": did not return at once";
      EXPECT_EQ(deliveredOnReturn, 0u) << form.what;
      ASSERT_TRUE(mainLoop().runUntil([&] { return byDefault.count() == 2; }, kPatienceSeconds))
          << form.what;
    }
    worker.join();
    expectDelivered(byDefault, form, name, sender, info);
    EXPECT_EQ(receiving.count(), 0u) << form.what;
  }
}

TEST(MainThreadPostingTest, PostsFromAWorkerAreDeliveredInPostingOrder) {
  constexpr int kPosts = 200;
  const std::string name = "ordered";
  std::vector<int> order;
  NotificationRegistration registration = NotificationCenter::defaultCenter().addObserver(
      name,
      [&](const Notification& n) { order.push_back(std::any_cast<int>(n.userInfo()->at("n"))); });
  std::thread worker([&] {
    auto& center = NotificationCenter::defaultCenter();
    for (int i = 0; i < kPosts; ++i) {
      auto info = std::make_shared<const UserInfo>(UserInfo{{"n", i}});
      // The two kinds of post travel differently; they must still keep one order.
      if (i % 2 == 0)
        postNotificationOnMainThread(center, Notification(name, nullptr, info));
      else
        postNotificationOnMainThreadWithName(center, name, nullptr, info, i % 3 == 0);
    }
  });
  ASSERT_TRUE(mainLoop().runUntil([&] { return order.size() == kPosts; }, kPatienceSeconds));
  worker.join();
  for (int i = 0; i < kPosts; ++i) ASSERT_EQ(order[i], i);
}

TEST(MainThreadPostingTest, ANamePostWithoutSenderOrUserInfoDeliversNeither) {
  Observed observed(NotificationCenter::defaultCenter(), "bare");
  std::thread worker([] {
    postNotificationOnMainThreadWithName(NotificationCenter::defaultCenter(), "bare", nullptr);
  });
  ASSERT_TRUE(mainLoop().runUntil([&] { return observed.count() == 2; }, kPatienceSeconds));
  worker.join();
  for (const auto& delivery : observed.deliveries()) {
    EXPECT_EQ(delivery.name, "bare");
    EXPECT_EQ(delivery.object, nullptr);
    EXPECT_EQ(delivery.userInfo, nullptr);
  }
}

TEST(MainThreadPostingTest, APackedNamePostTakesAMissingOrMistypedValueAsNone) {
  auto sender = std::make_shared<int>(1);
  auto info = std::make_shared<const UserInfo>();
  struct Row {
    const char* what;
    UserInfo packed;
    bool hasSender;
    bool hasInfo;
  };
  const Row rows[] = {
      {"all three",
       {{"name", std::string("packed")},
        {"object", std::shared_ptr<void>(sender)},
        {"userInfo", info}},
       true,
       true},
      {"name only", {{"name", std::string("packed")}}, false, false},
      {"mistyped sender", {{"name", std::string("packed")}, {"object", sender}}, false, false},
      {"mistyped user info",
       {{"name", std::string("packed")}, {"userInfo", UserInfo{}}},
       false,
       false},
  };
  for (const Row& row : rows) {
    Observed observed(NotificationCenter::defaultCenter(), "packed");
    _postNotificationName(row.packed);
    const auto deliveries = observed.deliveries();
    ASSERT_EQ(deliveries.size(), 2u) << row.what;
    EXPECT_EQ(deliveries[0].object, row.hasSender ? sender : nullptr) << row.what;
    EXPECT_EQ(deliveries[0].userInfo, row.hasInfo ? info : nullptr) << row.what;
  }
}

struct Item {
  int id = 0;
};

// What the model's operations saw; kept outside the model so that it outlives it.
struct Journal {
  struct Entry {
    int count;
    int itemId;  // -1 for no item
    std::thread::id thread;
  };
  mutable std::mutex mutex;
  std::vector<Entry> entries;  // guarded by mutex
  std::size_t size() const {
    std::lock_guard lock(mutex);
    return entries.size();
  }
  Entry at(std::size_t i) const {
    std::lock_guard lock(mutex);
    return entries.at(i);
  }
};

class Model {
 public:
  explicit Model(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}
  void update(int count, const std::shared_ptr<Item>& item) {
    std::lock_guard lock(journal_->mutex);
    journal_->entries.push_back({count, item ? item->id : -1, std::this_thread::get_id()});
  }
  void rename(const char* text) { renamedTo = text; }
  void fail(int) { throw std::runtime_error("boom"); }
  std::string renamedTo;

 private:
  std::shared_ptr<Journal> journal_;
};

class Stranger {
 public:
  virtual ~Stranger() = default;
};

TEST(MainThreadPostingTest, APreparedCallRunsOnTheMainThreadWaitingOrNot) {
  const std::thread::id mainId = std::this_thread::get_id();
  struct Row {
    const char* what;
    bool fromWorker;
    bool wait;
    bool ranOnReturn;
  };
  const Row rows[] = {
      {"worker, wait", true, true, true},
      {"worker, no wait", true, false, false},
      {"main, wait", false, true, true},
      {"main, no wait", false, false, false},
  };
  for (const Row& row : rows) {
    auto journal = std::make_shared<Journal>();
    auto model = std::make_shared<Model>(journal);
    auto item = std::make_shared<Item>(Item{42});
    std::shared_ptr<Invocation> call = invocationWithTarget(model, &Model::update, false, 7, item);
    ASSERT_NE(call, nullptr);
    std::size_t ranOnReturn = 0;
    std::promise<void> returned;
    std::future<void> returnedFuture = returned.get_future();
    auto post = [&] {
      invokeOnMainThreadWaitUntilDone(call, row.wait);
      ranOnReturn = journal->size();
      returned.set_value();
    };
    std::thread worker;
    if (row.fromWorker) {
      worker = std::thread(post);
      if (row.wait) {
        ASSERT_TRUE(mainLoop().runUntil([&] { return isReady(returnedFuture); }, kPatienceSeconds));
      } else {
        ASSERT_EQ(returnedFuture.wait_for(std::chrono::duration<double>(kPatienceSeconds)),
                  std::future_status::ready);
      }
    } else {
      post();
    }
    EXPECT_EQ(ranOnReturn, row.ranOnReturn ? 1u : 0u) << row.what;
    ASSERT_TRUE(mainLoop().runUntil([&] { return journal->size() == 1; }, kPatienceSeconds))
        << row.what;
    if (worker.joinable()) worker.join();
    const Journal::Entry entry = journal->at(0);
    EXPECT_EQ(entry.count, 7) << row.what;
    EXPECT_EQ(entry.itemId, 42) << row.what;
    EXPECT_EQ(entry.thread, mainId) << row.what;
  }
}

TEST(MainThreadPostingTest, APreparedCallRunsInTheBackgroundOnAThreadOfItsOwn) {
  auto journal = std::make_shared<Journal>();
  auto model = std::make_shared<Model>(journal);
  // Retained, as nothing here keeps the model or the item alive until the thread runs.
  invokeInBackground(
      invocationWithTarget(model, &Model::update, true, 7, std::make_shared<Item>(Item{9})));
  model.reset();
  ASSERT_TRUE(mainLoop().runUntil([&] { return journal->size() == 1; }, kPatienceSeconds));
  const Journal::Entry entry = journal->at(0);
  EXPECT_EQ(entry.count, 7);
  EXPECT_EQ(entry.itemId, 9);
  EXPECT_NE(entry.thread, std::this_thread::get_id());
}

TEST(MainThreadPostingTest, ARetainedCallKeepsItsTargetAndObjectsUntilItHasRun) {
  for (bool retain : {false, true}) {
    auto journal = std::make_shared<Journal>();
    auto model = std::make_shared<Model>(journal);
    auto item = std::make_shared<Item>(Item{5});
    std::weak_ptr<Model> modelAlive = model;
    std::weak_ptr<Item> itemAlive = item;
    invokeOnMainThreadWaitUntilDone(invocationWithTarget(model, &Model::update, retain, 3, item),
                                    false);
    model.reset();
    item.reset();
    EXPECT_EQ(modelAlive.expired(), !retain) << "retain " << retain;
    mainLoop().processPending();
    EXPECT_EQ(journal->size(), retain ? 1u : 0u) << "a target that has gone is not called";
    EXPECT_TRUE(modelAlive.expired()) << "retain " << retain << ": held after the call ran";
    EXPECT_TRUE(itemAlive.expired()) << "retain " << retain;
  }
}

TEST(MainThreadPostingTest, PreparingACallConvertsValuesAndRefusesATargetOfAnotherClass) {
  auto model = std::make_shared<Model>(std::make_shared<Journal>());
  EXPECT_EQ(invocationWithTarget(std::shared_ptr<Model>(), &Model::update, true, 1, nullptr),
            nullptr);
  std::shared_ptr<Stranger> stranger = std::make_shared<Stranger>();
  EXPECT_EQ(invocationWithTarget(stranger, &Model::fail, true, 1), nullptr);

  // A retained call keeps its own copy of a raw text.
  char buffer[] = "first";
  auto call = invocationWithTarget(model, &Model::rename, true, buffer);
  std::strcpy(buffer, "later");
  ASSERT_TRUE(call->invoke());
  EXPECT_EQ(model->renamedTo, "first");
  // An unretained one reads the caller's text when it runs.
  call = invocationWithTarget(model, &Model::rename, false, buffer);
  std::strcpy(buffer, "third");
  ASSERT_TRUE(call->invoke());
  EXPECT_EQ(model->renamedTo, "third");
}

TEST(MainThreadPostingTest, AnExceptionOfACallRunElsewhereIsLoggedThere) {
  testing::LogCapture log;
  auto model = std::make_shared<Model>(std::make_shared<Journal>());
  invokeOnMainThreadWaitUntilDone(invocationWithTarget(model, &Model::fail, true, 1), false);
  mainLoop().processPending();
  EXPECT_EQ(log.count("invokeOnMainThreadWaitUntilDone: boom"), 1u);
  invokeInBackground(invocationWithTarget(model, &Model::fail, true, 1));
  EXPECT_TRUE(mainLoop().runUntil([&] { return log.contains("invokeInBackground: boom"); },
                                  kPatienceSeconds));
  // On the main thread with wait the caller is there to receive it.
  EXPECT_THROW(
      invokeOnMainThreadWaitUntilDone(invocationWithTarget(model, &Model::fail, true, 1), true),
      std::runtime_error);
}

}  // namespace
}  // namespace xr
