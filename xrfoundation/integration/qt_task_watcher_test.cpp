#include "xrfoundation/integration/qt_task_watcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "xrfoundation/integration/qt_main_thread.h"
#include "xrfoundation/integration/testing/loop_testing.h"
#include "xrfoundation/integration/testing/qt_loop_testing.h"

namespace xr::qt {
namespace {

using ::xr::testing::kPatienceSeconds;

int g_argc = 1;
char g_arg0[] = "qt_task_watcher_test";
char* g_argv[] = {g_arg0, nullptr};

using Value = std::unique_ptr<int>;  // move-only on purpose
using CountTask = ValueTask<Value>;

std::shared_ptr<CountTask> makeCount(int steps, bool untilCancelled,
                                     std::shared_ptr<xr::testing::SecondValueGate> gate) {
  return xr::testing::makeStepTask<Value>(steps, untilCancelled, std::move(gate),
                                          [] { return std::make_unique<int>(42); });
}

// The story ("|" marks the test's own action), with the checks that need every value. Filled on
// the watcher's thread, read after it stopped.
struct Log : xr::testing::Story {
  double lastProgress = -1;
  bool progressWentBack = false;
  int value = -1;  // the typed value seen in finished(); -1: none
};

void record(TaskWatcher* watcher, Log& log) {
  QObject::connect(watcher, &TaskWatcher::started, watcher, [&log] { log.add("started"); });
  QObject::connect(watcher, &TaskWatcher::progressChanged, watcher, [&log](double value) {
    log.add("progress");
    log.progressWentBack = log.progressWentBack || value < log.lastProgress;
    log.lastProgress = value;
  });
  QObject::connect(watcher, &TaskWatcher::finished, watcher,
                   [&log, watcher](const QString& word, int, const QString&) {
                     const Value* value = watcher->value<Value>();
                     log.value = value != nullptr ? **value : -1;
                     log.add("finished:" + word.toStdString());
                   });
}

enum class OnFirstProgress { Nothing, CancelSlot, DeleteWatcher, DeleteParent };

struct Case {
  const char* name;
  OnFirstProgress action;
  bool untilCancelled;
  const char* story;       // what the watcher emitted, in order
  int value;               // the value seen in finished(); -1: none
  bool ownThread = false;  // the watcher lives on a thread of its own, without a parent
};

constexpr Case kCases[] = {
    {"runs to its end", OnFirstProgress::Nothing, false, "started progress finished:success", 42},
    {"cancel slot", OnFirstProgress::CancelSlot, true,
     "started progress | progress finished:canceled", -1},
    {"watcher deleted", OnFirstProgress::DeleteWatcher, false, "started progress |", -1},
    {"parent deleted", OnFirstProgress::DeleteParent, false, "started progress |", -1},
    {"own thread, runs to its end", OnFirstProgress::Nothing, false,
     "started progress finished:success", 42, true},
    {"own thread, deleted there", OnFirstProgress::DeleteWatcher, false, "started progress |", -1,
     true},
};

class QtTaskWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    application_ = std::make_unique<QCoreApplication>(g_argc, g_argv);
    ASSERT_TRUE(installQtMainThread());
  }
  void TearDown() override { application_.reset(); }

  // Runs the loop until the task has ended and every delivery it caused has been made.
  void runToEnd(const std::shared_ptr<CountTask>& task) {
    ASSERT_TRUE(
        loop_.runUntil([&] { return !xr::testing::isRegistered(task.get()); }, kPatienceSeconds));
    xr::testing::drain(loop_);
  }

  std::unique_ptr<QCoreApplication> application_;
  xr::testing::QtLoop loop_;
  OperationQueue queue_;
};

// What happens on the first progress signal, from a slot on the watcher's thread (the
// application's, or one of its own, queued there), while the next value is on its way: the
// watcher emits the story, finished at most once and last, and nothing once it or its parent is
// gone; no observer of ours keeps the task alive after.
TEST_F(QtTaskWatcherTest, FollowsTheTaskAndStopsWhenDeletedOrCancelled) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Log log;
    QThread thread;  // its started slot runs there before any delivery
    QObject::connect(&thread, &QThread::started,
                     [&log] { log.thread = std::this_thread::get_id(); });
    // Emitted on the thread after its last delivery: what the log holds is then ours to read
    // (QThread::wait() orders it too, but invisibly to the thread sanitizer).
    std::atomic<bool> threadDone{false};
    QObject::connect(&thread, &QThread::finished,
                     [&threadDone] { threadDone.store(true, std::memory_order_release); });
    QPointer<QObject> parent = c.ownThread ? nullptr : new QObject;
    QPointer<TaskWatcher> watcher = new TaskWatcher(parent);
    record(watcher, log);
    bool acted = false;
    auto gate = std::make_shared<xr::testing::SecondValueGate>();
    QObject::connect(watcher, &TaskWatcher::progressChanged, watcher, [&, c] {
      if (std::exchange(acted, true)) return;
      gate->firstTaken.count_down();
      if (c.action == OnFirstProgress::Nothing) return;
      gate->secondReported.wait();
      log.add("|");
      if (c.action == OnFirstProgress::CancelSlot) watcher->cancel();
      if (c.action == OnFirstProgress::DeleteWatcher) delete watcher.data();
      if (c.action == OnFirstProgress::DeleteParent) delete parent;
    });
    auto task = makeCount(50, c.untilCancelled, gate);
    std::weak_ptr<CountTask> weakTask = task;
    watcher->setTask(task);
    if (c.ownThread) {
      watcher->moveToThread(&thread);
      thread.start();
    }
    task->startOnQueue(queue_);
    ASSERT_NO_FATAL_FAILURE(runToEnd(task));
    thread.quit();  // after the deliveries queued to it so far
    ASSERT_TRUE(thread.wait());
    ASSERT_EQ(threadDone.load(std::memory_order_acquire), c.ownThread);

    EXPECT_EQ(log.story, c.story);
    EXPECT_EQ(log.value, c.value);
    EXPECT_FALSE(log.offThread);
    EXPECT_FALSE(log.progressWentBack);
    if (c.value == 42) {
      EXPECT_EQ(log.lastProgress, 1.0) << "the last value came after finished";
    }
    const bool gone =
        c.action == OnFirstProgress::DeleteWatcher || c.action == OnFirstProgress::DeleteParent;
    EXPECT_EQ(watcher.isNull(), gone);
    if (watcher) {
      EXPECT_EQ(watcher->isFinished(), c.value == 42 || c.untilCancelled);
    }
    delete parent;
    delete watcher.data();
    task.reset();
    xr::testing::drain(loop_);
    EXPECT_TRUE(weakTask.expired()) << "something still holds the task";
  }
}

}  // namespace
}  // namespace xr::qt
