#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <thread>

#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/testing/latch.h"
#include "xrfoundation/platform/testing/thread_end.h"
#include "xrfoundation/platform/thread_set_internal.h"

namespace xr::internal {
namespace {

using namespace std::chrono_literals;

TEST(ThreadSetTest, JoinAllReturnsOnceEveryThreadHasEnded) {
  ThreadSet threads;
  const int marked = testing::threadEnds().marked;
  testing::Latch go(1);
  std::atomic<int> ran{0};
  std::mutex idsMutex;
  std::set<std::thread::id> ids;
  for (int i = 0; i < 4; ++i) {
    threads.start([&] {
      testing::markThreadEnd();
      {
        std::lock_guard lock(idsMutex);
        ids.insert(std::this_thread::get_id());
      }
      go.wait();  // still in its body when joinAll() begins
      ++ran;
    });
  }
  EXPECT_EQ(threads.size(), 4u);
  go.count_down();
  threads.joinAll();
  EXPECT_EQ(ran, 4);
  EXPECT_EQ(testing::threadEnds().marked, marked + 4);
  EXPECT_EQ(testing::threadEnds().ended, testing::threadEnds().marked);
  EXPECT_EQ(ids.size(), 4u);  // a thread each
  EXPECT_FALSE(ids.count(std::this_thread::get_id()));
  EXPECT_EQ(threads.size(), 0u);
}

TEST(ThreadSetTest, AStartJoinsTheThreadsThatHaveReturned) {
  ThreadSet threads;
  for (int i = 0; i < 50; ++i) {
    std::atomic<bool> returned{false};
    threads.start([&] { returned = true; });
    while (!returned) std::this_thread::yield();
    std::this_thread::sleep_for(1ms);
  }
  // Held until the next start joins it: only the last ones are left, not fifty.
  EXPECT_LE(threads.size(), 3u);
  threads.joinAll();
  EXPECT_EQ(threads.size(), 0u);
}

TEST(ThreadSetTest, ASetThatJoinsAtOnceLeavesNoEndedThreadUnjoined) {
  // Such a set lives as long as the process: the timer thread may still be on its way to it.
  static auto* threads = new ThreadSet(ThreadSet::Joining::kAtOnce);
  for (int i = 0; i < 3; ++i) threads->start([] {});
  EXPECT_TRUE(mainLoop().runUntil([] { return threads->size() == 0; }, 5.0)) << threads->size();
}

TEST(ThreadSetTest, AThreadWhoseBodyHeldTheSetsOwnerEndsIt) {
  // The owner (here the set itself) goes with the last thing the body held, on that thread.
  auto owner = std::make_shared<ThreadSet>();
  std::weak_ptr<ThreadSet> watch = owner;
  ThreadSet* set = owner.get();
  set->start([owner = std::move(owner)] {});
  EXPECT_TRUE(mainLoop().runUntil([&] { return watch.expired(); }, 5.0));
}

}  // namespace
}  // namespace xr::internal
