#include "xrfoundation/integration/qt_main_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <future>
#include <memory>

#include "xrfoundation/integration/testing/loop_testing.h"
#include "xrfoundation/integration/testing/qt_loop_testing.h"

namespace xr {
namespace {

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

TEST_F(QtMainThreadTest, WorkerPostingWhileTheLoopQuitsIsNeverStuckNorRunTwice) {
  testing::expectPostingThroughTheEndIsNeverStuckNorRunTwice(loop_, [&] { application_.reset(); });
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
  auto application = std::make_unique<QCoreApplication>(g_argc, g_argv);
  std::shared_ptr<QtMainThread> adapter = QtMainThread::create();
  ASSERT_NE(adapter, nullptr);
  testing::expectDetachDropsQueuedAndLaterCalls(
      *adapter, [] {}, [&] { application.reset(); });
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

TEST(QtMainThreadLifetimeTest, CallsPostedToTheLibraryLoopBeforeTheInstallRunFirst) {
  testing::expectCallsPostedBeforeTheInstallRunFirst([](auto run) {
    QCoreApplication application(g_argc, g_argv);
    ASSERT_TRUE(installQtMainThread());
    QtLoop loop;
    run(loop);
  });
}

}  // namespace
}  // namespace xr
