#include <gtest/gtest.h>

#include <mutex>
#include <string>
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
  struct Ran {
    std::string name;
    Clock::time_point at;
  };
  std::mutex mutex;
  std::vector<Ran> ran;
  testing::Latch done(4);
  const auto start = Clock::now();
  const std::pair<const char*, std::chrono::milliseconds> kCalls[] = {
      {"late", 120ms}, {"middle", 60ms}, {"middle again", 60ms}, {"soon", 10ms}};
  for (const auto& [name, delay] : kCalls)
    runAt(start + delay, [&, name = std::string(name)] {
      std::lock_guard lock(mutex);
      ran.push_back({name, Clock::now()});
      done.count_down();
    });
  done.wait();
  std::lock_guard lock(mutex);
  ASSERT_EQ(ran.size(), 4u);
  const char* kOrder[] = {"soon", "middle", "middle again", "late"};
  const std::chrono::milliseconds kDelays[] = {10ms, 60ms, 60ms, 120ms};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(ran[i].name, kOrder[i]) << "position " << i;
    EXPECT_GE(ran[i].at - start, kDelays[i]) << kOrder[i] << " ran before its time";
  }
}

}  // namespace
}  // namespace xr::internal
