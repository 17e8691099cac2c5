#include "xrfoundation/events/main_thread_posting.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
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
void postFrom(const std::string& what, bool fromWorker, bool waits,
              const std::function<void()>& post) {
  if (!fromWorker) return post();
  std::future<void> done = std::async(std::launch::async, post);
  EXPECT_TRUE(waits || done.wait_for(std::chrono::duration<double>(kPatienceSeconds)) ==
                           std::future_status::ready)
      << what << ": did not return at once";
  EXPECT_TRUE(mainLoop().runUntil([&] { return isReady(done); }, kPatienceSeconds)) << what;
}

using Deliveries = std::vector<std::pair<Notification, std::thread::id>>;

// Two observers of `name` (so that "every observer" means more than one) that note deliveries
// in `log`. Deliveries come on the main thread, one at a time.
std::vector<NotificationRegistration> observe(NotificationCenter& center, const std::string& name,
                                              Deliveries& log) {
  std::vector<NotificationRegistration> registrations;
  for (int i = 0; i < 2; ++i)
    registrations.push_back(center.addObserver(
        name, [&log](const Notification& n) { log.emplace_back(n, std::this_thread::get_id()); }));
  return registrations;
}

using Post = void (*)(NotificationCenter&, const Notification&);
struct PostForm {
  const char* what;
  bool waits, carriesSender, carriesUserInfo;
  Post post;
};
// Every operation once; the last posts a bare name.
const PostForm kForms[] = {
    {"notification", false, true, true,
     [](auto& c, auto& n) { postNotificationOnMainThread(c, n); }},
    {"notification, wait", true, true, true,
     [](auto& c, auto& n) { postNotificationOnMainThread(c, n, true); }},
    {"name and sender", false, true, false,
     [](auto& c, auto& n) { postNotificationOnMainThreadWithName(c, n.name(), n.object()); }},
    {"name, sender and user info", false, true, true,
     [](auto& c, auto& n) {
       postNotificationOnMainThreadWithName(c, n.name(), n.object(), n.userInfo());
     }},
    {"name only, wait", true, false, false,
     [](auto& c, auto& n) {
       postNotificationOnMainThreadWithName(c, n.name(), nullptr, nullptr, true);
     }},
};

// Made on the main thread, a post reaches the receiving centre before it returns; made elsewhere,
// the default centre, on the main thread, before it returns if it waits.
TEST(MainThreadPostingTest, EveryFormDeliversOnTheMainThreadWaitingAsAsked) {
  auto sender = std::make_shared<int>(1);
  auto info = std::make_shared<const UserInfo>(UserInfo{{"key", 2}});
  for (bool fromWorker : {false, true})
    for (const PostForm& form : kForms) {
      const std::string what = (fromWorker ? "worker, " : "main, ") + std::string(form.what);
      auto center = NotificationCenter::create();
      Deliveries receiving, byDefault;
      auto r1 = observe(*center, what, receiving);
      auto r2 = observe(NotificationCenter::defaultCenter(), what, byDefault);
      Deliveries& reached = fromWorker ? byDefault : receiving;
      std::size_t onReturn = 0;
      postFrom(what, fromWorker, form.waits, [&] {
        form.post(*center, Notification(what, sender, info));
        onReturn = reached.size();
      });
      EXPECT_EQ(onReturn, fromWorker && !form.waits ? 0u : 2u) << what;
      mainLoop().runUntil([&] { return reached.size() >= 2; }, kPatienceSeconds);
      mainLoop().processPending();
      EXPECT_TRUE((fromWorker ? receiving : byDefault).empty()) << what;
      EXPECT_EQ(reached.size(), 2u) << what << ": every observer, once";
      for (const auto& [notification, thread] : reached) {
        EXPECT_EQ(notification.object(), form.carriesSender ? sender : nullptr) << what;
        EXPECT_EQ(notification.userInfo(), form.carriesUserInfo ? info : nullptr) << what;
        EXPECT_EQ(thread, std::this_thread::get_id()) << what << ": not the main thread";
      }
    }
}

TEST(MainThreadPostingTest, APackedNamePostTakesAMistypedValueAsNone) {
  Deliveries log;
  auto registrations = observe(NotificationCenter::defaultCenter(), "packed", log);
  _postNotificationName(UserInfo{{"name", std::string("packed")},
                                 {"object", std::make_shared<int>(1)},
                                 {"userInfo", UserInfo{}}});
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].first.object(), nullptr);
  EXPECT_EQ(log[0].first.userInfo(), nullptr);
}

struct Ran {
  int count, item;
  std::thread::id thread;
};

// Reports, once, what its update() received and where; the report outlives the model.
struct Model {
  std::shared_ptr<std::promise<Ran>> report;
  void update(int count, const std::shared_ptr<int>& item) {
    report->set_value({count, item ? *item : -1, std::this_thread::get_id()});
  }
  void fail(int) { throw std::runtime_error("boom"); }
};

// Retained, a queued call keeps its target and object alive, and the queue keeps the call.
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
    auto report = std::make_shared<std::promise<Ran>>();
    std::future<Ran> ran = report->get_future();
    std::shared_ptr<Invocation> call = invocationWithTarget(
        std::make_shared<Model>(Model{report}), &Model::update, true, 7, std::make_shared<int>(42));
    bool ranOnReturn = false;
    postFrom(row.what, row.fromWorker, row.wait, [&] {
      row.background ? invokeInBackground(std::move(call))
                     : invokeOnMainThreadWaitUntilDone(std::move(call), row.wait);
      ranOnReturn = isReady(ran);
    });
    EXPECT_TRUE(row.background || ranOnReturn == row.wait) << row.what;
    ASSERT_TRUE(mainLoop().runUntil([&] { return isReady(ran); }, kPatienceSeconds)) << row.what;
    const Ran seen = ran.get();
    EXPECT_EQ(seen.count, 7) << row.what;
    EXPECT_EQ(seen.item, 42) << row.what;
    EXPECT_EQ(seen.thread == std::this_thread::get_id(), !row.background) << row.what;
  }
}

TEST(MainThreadPostingTest, AnExceptionOfACallRunElsewhereIsLoggedThere) {
  testing::LogCapture log;
  auto failing = [model = std::make_shared<Model>()] {
    return invocationWithTarget(model, &Model::fail, true, 1);
  };
  invokeOnMainThreadWaitUntilDone(failing(), false);
  mainLoop().processPending();
  EXPECT_EQ(log.count("invokeOnMainThreadWaitUntilDone: boom"), 1u);
  invokeInBackground(failing());
  EXPECT_TRUE(mainLoop().runUntil([&] { return log.contains("invokeInBackground: boom"); },
                                  kPatienceSeconds));
  // On the main thread with wait the caller is there to receive it.
  EXPECT_THROW(invokeOnMainThreadWaitUntilDone(failing(), true), std::runtime_error);
}

}  // namespace
}  // namespace xr
