#include "xrfoundation/integration/glib_main_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "xrfoundation/integration/testing/glib_loop_testing.h"
#include "xrfoundation/integration/testing/loop_testing.h"

namespace xr {
namespace {

using testing::DropProbe;
using testing::GlibLoop;
using testing::kPatienceSeconds;

class GlibMainThreadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(installGlibMainThread()); }
  GlibLoop loop_;
};

XR_LOOP_ADAPTER_TESTS(GlibMainThreadTest, LoopThread)

// An adapter for a context of its own, whose loop runs on a thread of its own: calls posted
// from elsewhere run there, and not on the default context; an adapter cannot be made for that
// context on another thread while its loop runs; unreferencing the context drops what it holds.
TEST(GlibMainThreadContextTest, PrivateContextRunsCallsOnItsOwnThread) {
  GMainContext* context = g_main_context_new();
  GMainLoop* loop = g_main_loop_new(context, FALSE);
  std::promise<std::shared_ptr<GlibMainThread>> made;
  std::thread loopThread([&] {
    g_main_context_push_thread_default(context);
    made.set_value(GlibMainThread::create(context));
    g_main_loop_run(loop);
    g_main_context_pop_thread_default(context);
  });
  std::shared_ptr<GlibMainThread> adapter = made.get_future().get();
  ASSERT_NE(adapter, nullptr);
  EXPECT_EQ(adapter->context(), context);
  EXPECT_FALSE(adapter->isMainThread());

  std::thread::id ranOn;
  adapter->post([&ranOn] { ranOn = std::this_thread::get_id(); }, true);
  EXPECT_EQ(ranOn, loopThread.get_id());
  EXPECT_FALSE(g_main_context_pending(g_main_context_default()));

  // Owned by the loop's thread now: no adapter from here.
  EXPECT_EQ(GlibMainThread::create(context), nullptr);
  EXPECT_FALSE(installGlibMainThread(context));

  adapter->post([loop] { g_main_loop_quit(loop); }, false);
  loopThread.join();

  // Nobody iterates the context any more: dropping the last references lets its calls go.
  std::atomic<int> released{0};
  auto probe = std::make_shared<DropProbe>(released);
  bool ranLate = false;
  adapter->post([probe, &ranLate] { ranLate = true; }, false);
  probe.reset();
  EXPECT_EQ(released.load(), 0);
  adapter.reset();
  g_main_loop_unref(loop);
  g_main_context_unref(context);
  EXPECT_EQ(released.load(), 1);
  EXPECT_FALSE(ranLate);
}

// Once the adapter is detached, queued and later calls are let go unrun, a waiting worker is
// released, and the loop's thread itself still runs a waiting call at once.
TEST(GlibMainThreadShutdownTest, DetachDropsQueuedAndLaterCallsAndReleasesWaiters) {
  std::shared_ptr<GlibMainThread> adapter = GlibMainThread::create();
  ASSERT_NE(adapter, nullptr);
  testing::expectDetachDropsQueuedAndLaterCalls(*adapter, [&] {
    while (g_main_context_iteration(adapter->context(), FALSE)) {
    }
  });
}

// The application quits while a task runs, observed on the loop's thread every call and
// coalesced: once the adapter is uninstalled and the task's work ends, the task leaves the
// registry, and nothing of ours keeps the observers or the task alive.
TEST(GlibMainThreadShutdownTest, TaskOutlivingTheLoopLeavesTheRegistryAndItsObservers) {
  testing::expectTaskOutlivingTheLoopLetsGo([](auto observe) {
    ASSERT_TRUE(installGlibMainThread());
    GlibLoop loop;
    observe(loop);
    uninstallGlibMainThread();
  });
}

TEST(GlibMainThreadContextTest, CallsPostedToTheLibraryLoopBeforeTheInstallRunFirst) {
  testing::expectCallsPostedBeforeTheInstallRunFirst([](auto run) {
    ASSERT_TRUE(installGlibMainThread());
    GlibLoop loop;
    run(loop);
  });
}

}  // namespace
}  // namespace xr
