#include "xrfoundation/integration/qt_main_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "xrfoundation/integration/testing/loop_testing.h"
#include "xrfoundation/integration/testing/qt_loop_testing.h"
#include "xrfoundation/platform/main_loop.h"

namespace xr {
namespace {

using testing::DropProbe;
using testing::kPatienceSeconds;
using testing::QtLoop;

int g_argc = 1;
char g_arg0[] = "qt_main_thread_test";
char* g_argv[] = {g_arg0, nullptr};

class QtMainThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    application_ = std::make_unique<QCoreApplication>(g_argc, g_argv);
    ASSERT_TRUE(installQtMainThread());
  }
  void TearDown() override { application_.reset(); }

  std::unique_ptr<QCoreApplication> application_;
  QtLoop loop_;
};

XR_LOOP_ADAPTER_TESTS(QtMainThreadTest, ApplicationThread)

TEST_F(QtMainThreadTest, TasksAndCompositeAreObservedOnTheApplicationThreadInOrder) {
  testing::expectCompositeObservedOnLoop(loop_);
}

// A worker keeps posting, some posts waiting, while the loop quits and the application object
// goes: the calls that run do so on its thread in posting order, the rest are dropped, none is
// lost or let go twice, and the waiting worker is released.
TEST_F(QtMainThreadTest, WorkerPostingWhileTheLoopQuitsIsNeverStuckNorRunTwice) {
  const auto loopThread = std::this_thread::get_id();
  std::vector<int> ran;  // on the application's thread only
  std::atomic<int> offLoop{0}, posted{0}, released{0};
  std::atomic<bool> applicationGone{false};
  std::thread worker([&] {
    int afterGone = 0;
    for (int i = 0; afterGone < 50 && i < 1000000; ++i) {
      testing::postNumberedCall(i, i % 5 == 0, ran, offLoop, released, loopThread);
      ++posted;
      if (applicationGone) ++afterGone;
    }
  });
  ASSERT_TRUE(loop_.runUntil([&] { return posted.load() >= 200; }, kPatienceSeconds));
  application_.reset();  // with calls still queued, and the worker still posting
  applicationGone = true;
  worker.join();

  EXPECT_EQ(released.load(), posted.load()) << "a call was lost or let go twice";
  EXPECT_EQ(offLoop.load(), 0);
  ASSERT_GE(ran.size(), 1u);
  EXPECT_LT(ran.size(), static_cast<std::size_t>(posted.load()));
  for (std::size_t i = 0; i < ran.size(); ++i) ASSERT_EQ(ran[i], static_cast<int>(i));
}

TEST(QtMainThreadLifetimeTest, NothingIsInstalledWithoutAnApplicationOrOffItsThread) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  EXPECT_EQ(QtMainThread::create(), nullptr);
  EXPECT_FALSE(installQtMainThread());

  QCoreApplication application(g_argc, g_argv);
  auto fromWorker = std::async(std::launch::async, [] {
    return std::make_pair(QtMainThread::create() == nullptr, installQtMainThread());
  });
  const auto [noAdapter, installed] = fromWorker.get();
  EXPECT_TRUE(noAdapter);
  EXPECT_FALSE(installed);
  EXPECT_NE(QtMainThread::create(), nullptr);
}

// Once the application object is gone, queued and later calls are let go unrun, a waiting
// worker is released, and the main thread itself still runs a waiting call at once.
TEST(QtMainThreadLifetimeTest, CallsOutlivingTheApplicationAreDroppedAndWaitersReleased) {
  std::atomic<int> released{0};
  std::atomic<int> ranCount{0};
  std::shared_ptr<QtMainThread> adapter;
  {
    QCoreApplication application(g_argc, g_argv);
    adapter = QtMainThread::create();
    ASSERT_NE(adapter, nullptr);
    EXPECT_TRUE(adapter->attached());
    auto probe = std::make_shared<DropProbe>(released);
    adapter->post([probe, &ranCount] { ++ranCount; }, false);
  }
  EXPECT_FALSE(adapter->attached());
  EXPECT_EQ(released.load(), 1) << "the queued call was not let go with the application";

  auto waiting = std::async(std::launch::async, [&] {
    auto probe = std::make_shared<DropProbe>(released);
    adapter->post([probe, &ranCount] { ++ranCount; }, true);
  });
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(30)), std::future_status::ready)
      << "a waiting post for a gone application blocked";
  EXPECT_EQ(released.load(), 2);
  EXPECT_EQ(ranCount.load(), 0);

  bool ranHere = false;
  adapter->post([&] { ranHere = true; }, true);
  EXPECT_TRUE(ranHere);
  EXPECT_TRUE(adapter->isMainThread());
}

// The application object goes while a task runs, observed on its thread every call and
// coalesced: once the task's work ends it leaves the registry, and nothing of ours keeps the
// observers or the task alive.
TEST(QtMainThreadLifetimeTest, TaskOutlivingTheApplicationLeavesTheRegistryAndItsObservers) {
  testing::expectTaskOutlivingTheLoopLetsGo([](auto observe) {
    QCoreApplication application(g_argc, g_argv);
    ASSERT_TRUE(installQtMainThread());
    QtLoop loop;
    observe(loop);
  });
}

// Calls that reached the library's own loop before the application existed are handed over at
// the install and run first, on the application's thread.
TEST(QtMainThreadLifetimeTest, CallsPostedToTheLibraryLoopBeforeTheInstallRunFirst) {
  std::vector<std::string> order;
  std::vector<std::thread::id> threads;
  auto note = [&](const char* what) {
    order.push_back(what);
    threads.push_back(std::this_thread::get_id());
  };
  mainLoop().post([&] { note("early"); }, false);
  QCoreApplication application(g_argc, g_argv);
  ASSERT_TRUE(installQtMainThread());
  mainThread().post([&] { note("late"); }, false);
  QtLoop loop;
  ASSERT_TRUE(loop.runUntil([&] { return order.size() == 2; }, kPatienceSeconds));
  EXPECT_EQ(order, (std::vector<std::string>{"early", "late"}));
  for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
}

}  // namespace
}  // namespace xr
