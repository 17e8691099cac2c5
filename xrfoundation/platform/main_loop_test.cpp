#include "xrfoundation/platform/main_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <limits>
#include <thread>
#include <vector>

#include "xrfoundation/platform/deferred_call_internal.h"
#include "xrfoundation/platform/testing/fake_main_thread.h"
#include "xrfoundation/platform/testing/latch.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using namespace std::chrono_literals;

constexpr const char* kForgottenLoopWarning =
    "Calls posted to the main thread have waited 2 s and nothing runs the library's main loop: "
    "run xr::mainLoop() on the main thread (run(), runUntil() or processPending()), or install "
    "the adapter of the application's loop (xr::installQtMainThread(), "
    "xr::installGlibMainThread(), xr::installWxMainThread(), xr::installWin32MainThread()) "
    "before starting work";

// Returns once every deferred call due within `delay` from now has run: deferred calls run in
// order of their times, so the library's own checks due before have run too.
void waitForDeferredCallsDueWithin(std::chrono::milliseconds delay) {
  std::promise<void> reached;
  internal::runAt(std::chrono::steady_clock::now() + delay, [&reached] { reached.set_value(); });
  reached.get_future().wait();
}

TEST(MainLoopTest, PostedCallsRunInPostingOrderOnLaterTurns) {
  std::vector<int> order;
  mainLoop().post([&] { order.push_back(1); }, false);
  mainLoop().post([&] { order.push_back(2); }, false);
  EXPECT_TRUE(order.empty()) << "a post without wait must not run before the loop turns";
  EXPECT_EQ(mainLoop().processPending(), 2u);
  ASSERT_TRUE(mainLoop().isMainThread()) << "tests run on the process's initial thread";
  mainLoop().post([&] { order.push_back(3); }, true);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3})) << "post and wait on the main thread runs at once";
}

TEST(MainLoopTest, PostAndWaitFromAWorkerReturnsAfterTheCallRanOnTheMainThread) {
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    mainLoop().post([&] { ranOnMain = mainLoop().isMainThread(); }, true);
    EXPECT_TRUE(ranOnMain.load()) << "returned before the call had run";
    returned = true;
  });
  EXPECT_TRUE(mainLoop().runUntil([&] { return returned.load(); }, 10.0));
  worker.join();
}

TEST(MainLoopTest, PostsFromManyThreadsKeepEachThreadsOrder) {
  constexpr int kThreads = 4, kPosts = 2000;
  std::vector<std::vector<int>> seen(kThreads);
  testing::Latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int i = 0; i < kPosts; ++i) mainLoop().post([&, t, i] { seen[t].push_back(i); }, false);
    });
  for (auto& thread : threads) thread.join();
  mainLoop().processPending();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), static_cast<size_t>(kPosts));
    for (int i = 0; i < kPosts; ++i) ASSERT_EQ(seen[t][i], i) << "thread " << t;
  }
}

TEST(MainLoopTest, RunStopsWhenACallAsksAndRunUntilHonoursItsTimeOut) {
  int ran = 0;
  mainLoop().post([&] { ++ran; }, false);
  mainLoop().post([&] { mainLoop().stop(); }, false);
  mainLoop().post([&] { ++ran; }, false);
  mainLoop().run();
  EXPECT_EQ(ran, 1) << "run() must return right after the stopping call";
  mainLoop().processPending();
  EXPECT_EQ(ran, 2);

  const auto begin = std::chrono::steady_clock::now();
  EXPECT_FALSE(mainLoop().runUntil([] { return false; }, 0.2));
  EXPECT_GE(std::chrono::steady_clock::now() - begin, 150ms);
}

TEST(MainLoopTest, DeadlinesSaturate) {
  const auto now = std::chrono::steady_clock::now();
  for (double past : {std::nan(""), -5.0, 0.0}) {
    const auto deadline = deadlineAfter(past);
    EXPECT_LE(deadline, std::chrono::steady_clock::now()) << past;
  }
  EXPECT_GT(deadlineAfter(std::numeric_limits<double>::infinity()), now + 24h * 365 * 50);
}

TEST(MainLoopTest, LoopThatNobodyRunsSaysOnceHowToFixIt) {
  testing::LogCapture log;
  MainLoop forgotten, attended;
  forgotten.post([] {}, false);
  std::thread([&] { attended.post([] {}, false); }).join();
  attended.processPending();
  waitForDeferredCallsDueWithin(2100ms);
  EXPECT_EQ(log.count(kForgottenLoopWarning), 1u)
      << "one line for the forgotten loop, none for the loop that ran";
  forgotten.post([] {}, false);
  waitForDeferredCallsDueWithin(2100ms);
  EXPECT_EQ(log.count(kForgottenLoopWarning), 1u) << "said once only";
}

// Last in the file: the installed dispatcher stays for the rest of the process.
TEST(MainLoopTest, LoopIsNotForgottenWhenAnotherDispatcherIsInstalled) {
  testing::LogCapture log;
  MainLoop unused;
  unused.post([] {}, false);
  setMainThread(std::make_shared<testing::FakeMainThread>());
  waitForDeferredCallsDueWithin(2100ms);
  EXPECT_EQ(log.count(kForgottenLoopWarning), 0u);
}

}  // namespace
}  // namespace xr
