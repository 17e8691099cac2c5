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
#include "xrfoundation/platform/log.h"
#include "xrfoundation/tasks/task_watcher.h"

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

TEST_F(WxMainThreadTest, TasksAndCompositeAreObservedOnTheApplicationThreadInOrder) {
  testing::expectCompositeObservedOnLoop(loop_);
}

// The library's task watcher, which needs no toolkit, follows a task from its start to its end
// on the application's thread.
TEST_F(WxMainThreadTest, TaskWatcherReportsOnTheApplicationThread) {
  OperationQueue queue;
  testing::Story log;
  int value = -1;
  TaskWatcher watcher({
      .started = [&] { log.add("started"); },
      .progressChanged = [&](double) { log.add("progress"); },
      .finished =
          [&](const TaskOutcome& outcome) {
            const int* got = outcome.value<int>();
            value = got != nullptr ? *got : -1;
            log.add("finished:" + outcome.word);
          },
  });
  auto task = testing::makeStepTask<int>(20, false, nullptr, [] { return 42; });
  watcher.setTask(task);
  task->startOnQueue(queue);
  ASSERT_TRUE(loop_.runUntil([&] { return watcher.isFinished(); }, kPatienceSeconds));
  EXPECT_EQ(log.story, "started progress finished:success");
  EXPECT_EQ(value, 42);
  EXPECT_FALSE(log.offThread);
}

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

// Counts the library's log lines that contain `text`, while it lives.
class LogCounter {
 public:
  explicit LogCounter(std::string text) : text_(std::move(text)) {
    previous_ = setLogHandler([this](LogLevel, std::string_view, std::string_view line) {
      if (line.find(text_) != std::string_view::npos) ++count_;
    });
  }
  ~LogCounter() { setLogHandler(previous_); }
  int count() const { return count_.load(); }

 private:
  const std::string text_;
  std::atomic<int> count_{0};
  LogHandler previous_;
};

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

    LogCounter dropped("posted calls are dropped");
    for (const bool wait : {false, true, false}) {
      auto late = std::async(std::launch::async, [&, wait] {
        auto held = std::make_shared<DropProbe>(released);
        adapter->post([held, &ranCount] { ++ranCount; }, wait);
      });
      ASSERT_EQ(late.wait_for(std::chrono::seconds(30)), std::future_status::ready)
          << "a waiting post to a detached adapter blocked";
    }
    EXPECT_EQ(released.load(), 5);
    EXPECT_EQ(dropped.count(), 1) << "the dropped posts were not logged once";
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
