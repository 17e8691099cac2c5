// ConditionLock: acquired only on the wanted condition, held until released, and a waiter
// woken by the release that sets its condition.
#include "xrfoundation/platform/condition_lock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "xrfoundation/platform/main_loop.h"

namespace xr {
namespace {

using namespace std::chrono_literals;

TEST(ConditionLockTest, AcquiresOnlyOnTheWantedCondition) {
  ConditionLock lock(0);
  EXPECT_FALSE(lock.tryLockWhenCondition(1));
  EXPECT_TRUE(lock.tryLockWhenCondition(0));
  EXPECT_FALSE(lock.tryLockWhenCondition(0)) << "held";
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_FALSE(lock.lockWhenCondition(0, deadlineAfter(0.1))) << "held until the deadline";
  EXPECT_GE(std::chrono::steady_clock::now() - begin, 80ms);

  std::thread waiter([&] {
    if (lock.lockWhenCondition(1, deadlineAfter(30))) lock.unlockWithCondition(2);
  });
  lock.unlockWithCondition(1);
  waiter.join();
  EXPECT_EQ(lock.condition(), 2) << "the waiter took the lock on the wanted condition";
}

}  // namespace
}  // namespace xr
