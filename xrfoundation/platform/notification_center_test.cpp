#include "xrfoundation/platform/notification_center.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace xr {
namespace {

using Calls = std::vector<std::string>;

NotificationCenter::Observer recorder(Calls& calls, std::string who) {
  return [&calls, who](const Notification& n) { calls.push_back(who + ":" + n.name()); };
}

TEST(NotificationCenterTest, DeliversByNameInRegistrationOrderWhileTheRegistrationLives) {
  auto center = NotificationCenter::create();
  Calls calls;
  auto a = center->addObserver("n", recorder(calls, "a"));
  auto removed = center->addObserver("n", recorder(calls, "removed"));
  { auto scoped = center->addObserver("n", recorder(calls, "scoped")); }
  removed.remove();
  removed.remove();  // twice is harmless
  NotificationRegistration moved = std::move(a);
  auto replaced = center->addObserver("n", recorder(calls, "replaced"));
  replaced = center->addObserver("n", recorder(calls, "b"));
  center->postNotificationName("n", nullptr);
  EXPECT_EQ(calls, (Calls{"a:n", "b:n"}));
  center.reset();
  moved.remove();  // a registration that outlives its centre ends quietly
}

TEST(NotificationCenterTest, ObserversMayChangeRegistrationsAndPostDuringAPost) {
  auto center = NotificationCenter::create();
  Calls calls;
  NotificationRegistration later, added;
  auto first = center->addObserver("n", [&](const Notification&) {
    calls.push_back("first");
    later.remove();
    added = center->addObserver("n", recorder(calls, "added"));
    center->postNotificationName("nested", nullptr);
  });
  later = center->addObserver("n", recorder(calls, "later"));
  auto nested = center->addObserver("nested", recorder(calls, "nested"));
  center->postNotificationName("n", nullptr);
  EXPECT_EQ(calls, (Calls{"first", "nested:nested"}))
      << "a removed observer is not called; an added one waits for the next post";
  calls.clear();
  first.remove();
  center->postNotificationName("n", nullptr);
  EXPECT_EQ(calls, Calls{"added:n"});
}

TEST(NotificationCenterTest, ThreadsMayRegisterPostAndRemoveAtOnce) {
  constexpr int kThreads = 4, kPosts = 300;
  auto& center = NotificationCenter::defaultCenter();
  std::atomic<int> shared{0};
  auto sharedObserver = center.addObserver("shared", [&](const Notification&) { ++shared; });
  std::latch start(kThreads);
  std::vector<int> own(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      const std::string name = "own " + std::to_string(t);
      start.arrive_and_wait();
      auto registration = center.addObserver(name, [&own, t](const Notification&) { ++own[t]; });
      for (int i = 0; i < kPosts; ++i) {
        center.postNotificationName(name, nullptr);
        center.postNotificationName("shared", nullptr);
        auto passing = center.addObserver("shared", [](const Notification&) {});
      }
      registration.remove();
      center.postNotificationName(name, nullptr);
    });
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(own[t], kPosts) << "thread " << t;
  EXPECT_EQ(shared.load(), kThreads * kPosts);
}

}  // namespace
}  // namespace xr
