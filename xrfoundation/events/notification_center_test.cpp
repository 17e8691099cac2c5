#include "xrfoundation/events/notification_center.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "xrfoundation/platform/testing/latch.h"

namespace xr {
namespace {

using Calls = std::vector<std::string>;

NotificationCenter::Observer recorder(Calls& calls, std::string who) {
  return [&calls, who](const Notification& n) { calls.push_back(who + ":" + n.name()); };
}

TEST(NotificationCenterTest, DeliversByNameInRegistrationOrderWhileTheRegistrationLives) {
  auto center = NotificationCenter::create();
  Calls calls;
  NotificationRegistration later, added;
  auto first = center->addObserver("n", [&](const Notification& n) {
    calls.push_back("first:" + n.name());
    later.remove();                                              // not called by this post any more
    added = center->addObserver("n", recorder(calls, "added"));  // first called by the next
    center->postNotificationName("nested", nullptr);
  });
  auto removed = center->addObserver("n", recorder(calls, "removed"));
  { auto scoped = center->addObserver("n", recorder(calls, "scoped")); }
  later = center->addObserver("n", recorder(calls, "later"));
  auto nested = center->addObserver("nested", recorder(calls, "nested"));
  auto replaced = center->addObserver("n", recorder(calls, "replaced"));
  replaced = center->addObserver("n", recorder(calls, "last"));
  removed.remove();
  removed.remove();  // twice is harmless
  NotificationRegistration moved = std::move(first);
  first.remove();  // moved from, it no longer removes anything
  center->postNotificationName("n", nullptr);
  EXPECT_EQ(calls, (Calls{"first:n", "nested:nested", "last:n"}));
  calls.clear();
  moved.remove();
  center->postNotificationName("n", nullptr);
  EXPECT_EQ(calls, (Calls{"last:n", "added:n"}));
  center.reset();
  replaced.remove();  // a registration that outlives its centre ends quietly
}

TEST(NotificationCenterTest, ThreadsMayRegisterPostAndRemoveAtOnce) {
  constexpr int kThreads = 4, kPosts = 300;
  auto& center = NotificationCenter::defaultCenter();
  testing::Latch start(kThreads);
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
}

}  // namespace
}  // namespace xr
