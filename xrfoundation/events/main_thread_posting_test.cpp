#include "xrfoundation/events/main_thread_posting.h"

#include <gtest/gtest.h>

#include <chrono>
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

constexpr double kPatienceSeconds = 10.0;

template <class T>
bool isReady(const std::future<T>& future) {
  return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// Makes `post` here (the main thread) or on a worker. A worker's post that does not wait must
// return while the main loop stands still; one that waits returns once the loop runs.
void postFrom(bool fromWorker, bool waits, const std::function<void()>& post,
              const std::string& what) {
  if (!fromWorker) return post();
  std::promise<void> returned;
  std::future<void> done = returned.get_future();
  std::thread worker([&] { post(), returned.set_value(); });
  EXPECT_TRUE(waits || done.wait_for(std::chrono::duration<double>(kPatienceSeconds)) ==
                           std::future_status::ready)
      << what << ": did not return at once";
  EXPECT_TRUE(mainLoop().runUntil([&] { return isReady(done); }, kPatienceSeconds)) << what;
  worker.join();
}

// What reached two observers (so that "every observer" means more than one) of one name.
class Observed {
 public:
  struct Delivery {
    std::shared_ptr<void> object;
    std::shared_ptr<const UserInfo> userInfo;
    std::thread::id thread;
  };
  Observed(NotificationCenter& center, const std::string& name) {
    for (int i = 0; i < 2; ++i)
      registrations_.push_back(center.addObserver(name, [this](const Notification& n) {
        std::lock_guard lock(mutex_);
        deliveries_.push_back({n.object(), n.userInfo(), std::this_thread::get_id()});
      }));
  }
  std::vector<Delivery> deliveries() const {
    std::lock_guard lock(mutex_);
    return deliveries_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Delivery> deliveries_;  // guarded by mutex_
  std::vector<NotificationRegistration> registrations_;
};

using Sender = std::shared_ptr<void>;
using Info = std::shared_ptr<const UserInfo>;
struct PostForm {
  const char* what;
  bool waits, carriesSender, carriesUserInfo;
  void (*post)(NotificationCenter&, const std::string&, Sender, Info);
};
const PostForm kForms[] = {
    {"notification", false, true, true,
     [](auto& c, auto& n, Sender s, Info i) {
       postNotificationOnMainThread(c, Notification(n, s, i));
     }},
    {"notification, wait", true, true, true,
     [](auto& c, auto& n, Sender s, Info i) {
       postNotificationOnMainThread(c, Notification(n, s, i), true);
     }},
    {"name only", false, false, false,
     [](auto& c, auto& n, Sender, Info) { postNotificationOnMainThreadWithName(c, n, nullptr); }},
    {"name and sender", false, true, false,
     [](auto& c, auto& n, Sender s, Info) { postNotificationOnMainThreadWithName(c, n, s); }},
    {"name, sender and user info", false, true, true,
     [](auto& c, auto& n, Sender s, Info i) { postNotificationOnMainThreadWithName(c, n, s, i); }},
    {"name, sender and user info, wait", true, true, true,
     [](auto& c, auto& n, Sender s, Info i) {
       postNotificationOnMainThreadWithName(c, n, s, i, true);
     }},
};

// Made on the main thread, a post reaches the receiving centre's observers before it returns;
// made elsewhere, it reaches the default centre's on the main thread, before it returns if it
// waits.
TEST(MainThreadPostingTest, EveryFormDeliversOnTheMainThreadWaitingAsAsked) {
  auto sender = std::make_shared<int>(1);
  auto info = std::make_shared<const UserInfo>(UserInfo{{"key", 2}});
  for (bool fromWorker : {false, true})
    for (const PostForm& form : kForms) {
      const std::string what = (fromWorker ? "worker, " : "main, ") + std::string(form.what);
      auto center = NotificationCenter::create();
      Observed receiving(*center, what), byDefault(NotificationCenter::defaultCenter(), what);
      Observed& reached = fromWorker ? byDefault : receiving;
      std::size_t onReturn = 0;
      postFrom(
          fromWorker, form.waits,
          [&] {
            form.post(*center, what, sender, info);
            onReturn = reached.deliveries().size();
          },
          what);
      EXPECT_EQ(onReturn, fromWorker && !form.waits ? 0u : 2u) << what;
      mainLoop().runUntil([&] { return reached.deliveries().size() >= 2; }, kPatienceSeconds);
      mainLoop().processPending();
      EXPECT_TRUE((fromWorker ? receiving : byDefault).deliveries().empty()) << what;
      const auto deliveries = reached.deliveries();
      EXPECT_EQ(deliveries.size(), 2u) << what << ": every observer, once";
      for (const auto& delivery : deliveries) {
        EXPECT_EQ(delivery.object, form.carriesSender ? sender : nullptr) << what;
        EXPECT_EQ(delivery.userInfo, form.carriesUserInfo ? info : nullptr) << what;
        EXPECT_EQ(delivery.thread, std::this_thread::get_id()) << what << ": not the main thread";
      }
    }
}

TEST(MainThreadPostingTest, PostsFromAWorkerAreDeliveredInPostingOrder) {
  constexpr int kPosts = 200;
  std::vector<int> order;
  auto& center = NotificationCenter::defaultCenter();
  NotificationRegistration registration = center.addObserver("ordered", [&](const Notification& n) {
    order.push_back(std::any_cast<int>(n.userInfo()->at("n")));
  });
  std::thread worker([&] {
    for (int i = 0; i < kPosts; ++i) {
      auto info = std::make_shared<const UserInfo>(UserInfo{{"n", i}});
      // The two kinds of post travel differently; they must still keep one order.
      if (i % 2 == 0)
        postNotificationOnMainThread(center, Notification("ordered", nullptr, info));
      else
        postNotificationOnMainThreadWithName(center, "ordered", nullptr, info, i % 3 == 0);
    }
  });
  ASSERT_TRUE(mainLoop().runUntil([&] { return order.size() == kPosts; }, kPatienceSeconds));
  worker.join();
  for (int i = 0; i < kPosts; ++i) ASSERT_EQ(order[i], i);
}

TEST(MainThreadPostingTest, APackedNamePostTakesAMistypedValueAsNone) {
  Observed observed(NotificationCenter::defaultCenter(), "packed");
  _postNotificationName(UserInfo{{"name", std::string("packed")},
                                 {"object", std::make_shared<int>(1)},
                                 {"userInfo", UserInfo{}}});
  const auto deliveries = observed.deliveries();
  ASSERT_EQ(deliveries.size(), 2u);
  EXPECT_EQ(deliveries[0].object, nullptr);
  EXPECT_EQ(deliveries[0].userInfo, nullptr);
}

struct Ran {
  int count, item;
  std::thread::id thread;
};

// Reports, once, what its update() received and where; the report may outlive the model.
struct Model {
  std::shared_ptr<std::promise<Ran>> report = std::make_shared<std::promise<Ran>>();
  void update(int count, const std::shared_ptr<int>& item) {
    report->set_value({count, item ? *item : -1, std::this_thread::get_id()});
  }
  void fail(int) { throw std::runtime_error("boom"); }
};

TEST(MainThreadPostingTest, APreparedCallRunsOnTheMainThreadWaitingOrNotOrInTheBackground) {
  struct Row {
    const char* what;
    bool fromWorker, wait, background;
  };
  const Row rows[] = {{"main, wait", false, true, false},
                      {"main, no wait", false, false, false},
                      {"worker, wait", true, true, false},
                      {"worker, no wait", true, false, false},
                      {"background", false, false, true}};
  for (const Row& row : rows) {
    auto model = std::make_shared<Model>();
    auto item = std::make_shared<int>(42);
    std::future<Ran> ran = model->report->get_future();
    std::shared_ptr<Invocation> call = invocationWithTarget(model, &Model::update, false, 7, item);
    bool ranOnReturn = false;
    postFrom(
        row.fromWorker, row.wait,
        [&] {
          if (row.background)
            invokeInBackground(call);
          else
            invokeOnMainThreadWaitUntilDone(call, row.wait);
          ranOnReturn = isReady(ran);
        },
        row.what);
    EXPECT_TRUE(row.background || ranOnReturn == row.wait) << row.what;
    ASSERT_TRUE(mainLoop().runUntil([&] { return isReady(ran); }, kPatienceSeconds)) << row.what;
    const Ran seen = ran.get();
    EXPECT_EQ(seen.count, 7) << row.what;
    EXPECT_EQ(seen.item, 42) << row.what;
    EXPECT_EQ(seen.thread == std::this_thread::get_id(), !row.background) << row.what;
  }
}

TEST(MainThreadPostingTest, AQueuedCallKeepsItsTargetOnlyIfRetainedAndSkipsItOnceGone) {
  for (bool retain : {false, true}) {
    auto model = std::make_shared<Model>();
    auto report = model->report;
    std::future<Ran> ran = report->get_future();
    std::weak_ptr<Model> modelAlive = model;
    invokeOnMainThreadWaitUntilDone(
        invocationWithTarget(model, &Model::update, retain, 3, std::shared_ptr<int>()), false);
    model.reset();
    EXPECT_EQ(modelAlive.expired(), !retain) << "retain " << retain;
    mainLoop().processPending();
    EXPECT_EQ(isReady(ran), retain) << "retain " << retain << ": a target that has gone was called";
    EXPECT_TRUE(modelAlive.expired()) << "retain " << retain << ": held after the call ran";
  }
}

TEST(MainThreadPostingTest, AnExceptionOfACallRunElsewhereIsLoggedThere) {
  testing::LogCapture log;
  auto model = std::make_shared<Model>();
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
