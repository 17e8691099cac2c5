#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "xrfoundation/platform/deferred_call_internal.h"
#include "xrfoundation/platform/testing/latch.h"

namespace xr::internal {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(DeferredCallTest, CallsRunByTheirTimesNotBeforeThem) {
  // Deferred out of order: the latest first, and a sooner one after the timer already sleeps
  // towards a later time, which must wake it.
  std::mutex mutex;
  std::vector<int> ran;
  testing::Latch done(4);
  const auto start = Clock::now();
  const std::chrono::milliseconds kDelays[] = {120ms, 60ms, 60ms, 10ms};
  for (int i = 0; i < 4; ++i)
    runAt(start + kDelays[i], [&, i] {
      EXPECT_GE(Clock::now() - start, kDelays[i]) << "call " << i << " ran before its time";
      std::lock_guard lock(mutex);
      ran.push_back(i);
      done.count_down();
    });
  done.wait();
  std::lock_guard lock(mutex);
  EXPECT_EQ(ran, (std::vector<int>{3, 1, 2, 0})) << "by time, and in deferral order at one time";
}

}  // namespace
}  // namespace xr::internal
