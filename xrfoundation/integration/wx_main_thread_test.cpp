#include "xrfoundation/integration/wx_main_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "xrfoundation/integration/testing/loop_testing.h"
#include "xrfoundation/integration/testing/wx_loop_testing.h"

namespace xr {
namespace {

using testing::DropProbe;
using testing::kPatienceSeconds;
using testing::WxApplication;
using testing::WxLoop;

class WxMainThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    application_ = std::make_unique<WxApplication>();
    ASSERT_TRUE(application_->started());
    ASSERT_TRUE(installWxMainThread());
  }
  void TearDown() override {
    loop_.reset();
    application_.reset();
  }

  std::unique_ptr<WxApplication> application_;
  WxLoop loop_;
};

XR_LOOP_ADAPTER_TESTS(WxMainThreadTest, ApplicationThread)

// The application ends as its header asks, with the uninstall before the application object
// goes: wxWidgets' queue cannot serve a worker's post while the object is being destroyed.
TEST_F(WxMainThreadTest, WorkerPostingWhileTheLoopQuitsIsNeverStuckNorRunTwice) {
  testing::expectPostingThroughTheEndIsNeverStuckNorRunTwice(loop_, [&] {
    uninstallWxMainThread();
    loop_.reset();
    application_.reset();
  });
}

TEST(WxMainThreadLifetimeTest, NothingIsInstalledWithoutAnApplicationOrOffItsThread) {
  ASSERT_EQ(wxAppConsole::GetInstance(), nullptr);
  EXPECT_EQ(WxMainThread::create(), nullptr);
  EXPECT_FALSE(installWxMainThread());

  WxApplication application;
  ASSERT_TRUE(application.started());
  auto fromWorker = std::async(std::launch::async, [] {
    return std::make_pair(WxMainThread::create() == nullptr, installWxMainThread());
  });
  const auto [noAdapter, installed] = fromWorker.get();
  EXPECT_TRUE(noAdapter);
  EXPECT_FALSE(installed);
  EXPECT_NE(WxMainThread::create(), nullptr);
}

// Detaching, uninstalling and the application object's end each drop the queued calls unrun
// and let go of what they held, release a waiting worker, and drop every later call with one
// log line; the main thread itself still runs a waiting call at once.
TEST(WxMainThreadShutdownTest, DetachUninstallAndTheApplicationsEndDropCallsAndReleaseWaiters) {
  enum class End { Detach, Uninstall, ApplicationDestroyed };
  for (const End end : {End::Detach, End::Uninstall, End::ApplicationDestroyed}) {
    SCOPED_TRACE(static_cast<int>(end));
    std::atomic<int> released{0}, ranCount{0};
    auto application = std::make_unique<WxApplication>();
    ASSERT_TRUE(application->started());
    std::shared_ptr<WxMainThread> adapter = WxMainThread::create();
    ASSERT_NE(adapter, nullptr);
    if (end == End::Uninstall) setMainThread(adapter);
    EXPECT_TRUE(adapter->attached());

    // A worker waits for a call queued behind another.
    auto probe = std::make_shared<DropProbe>(released);
    adapter->post([probe, &ranCount] { ++ranCount; }, false);
    probe.reset();
    std::atomic<bool> waitingPosted{false};
    auto waiting = std::async(std::launch::async, [&] {
      auto held = std::make_shared<DropProbe>(released);
      waitingPosted = true;
      adapter->post([held, &ranCount] { ++ranCount; }, true);
    });
    while (!waitingPosted) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // into its wait

    if (end == End::Detach) adapter->detach();
    if (end == End::Uninstall) uninstallWxMainThread();
    if (end == End::ApplicationDestroyed) application.reset();
    EXPECT_FALSE(adapter->attached());
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(30)), std::future_status::ready)
        << "a waiting post was not released";
    EXPECT_EQ(released.load(), 2) << "the queued calls were not let go";

    testing::LogLineCounter dropLines(
        "WxMainThread: the adapter is detached; posted calls are dropped");
    for (const bool wait : {false, true, false}) {
      auto late = std::async(std::launch::async, [&, wait] {
        auto held = std::make_shared<DropProbe>(released);
        adapter->post([held, &ranCount] { ++ranCount; }, wait);
      });
      ASSERT_EQ(late.wait_for(std::chrono::seconds(30)), std::future_status::ready)
          << "a waiting post to a detached adapter blocked";
    }
    EXPECT_EQ(released.load(), 5);
    EXPECT_EQ(dropLines.count(), 1) << "the dropped posts were not logged once";
    if (application) {
      WxLoop loop;
      loop.runUntil([] { return false; }, 0.05);
    }
    EXPECT_EQ(ranCount.load(), 0);
    bool ranHere = false;
    adapter->post([&] { ranHere = true; }, true);
    EXPECT_TRUE(ranHere);
    adapter.reset();
    application.reset();
  }
}

// The application's loop ends for good while a task runs, by an uninstall or by the application
// object's end: the task leaves the registry, and nothing of ours keeps its observers.
TEST(WxMainThreadShutdownTest, TaskOutlivingTheApplicationLeavesTheRegistryAndItsObservers) {
  for (const bool uninstall : {true, false}) {
    SCOPED_TRACE(uninstall ? "uninstalled" : "application object destroyed");
    testing::expectTaskOutlivingTheLoopLetsGo([uninstall](auto observe) {
      WxApplication application;
      ASSERT_TRUE(application.started());
      ASSERT_TRUE(installWxMainThread());
      WxLoop loop;
      observe(loop);
      if (uninstall) uninstallWxMainThread();
    });
  }
}

TEST(WxMainThreadLifetimeTest, CallsPostedToTheLibraryLoopBeforeTheInstallRunFirst) {
  testing::expectCallsPostedBeforeTheInstallRunFirst([](auto run) {
    WxApplication application;
    ASSERT_TRUE(application.started());
    ASSERT_TRUE(installWxMainThread());
    WxLoop loop;
    run(loop);
  });
}

}  // namespace
}  // namespace xr
