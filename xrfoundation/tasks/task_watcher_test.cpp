#include "xrfoundation/tasks/task_watcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "xrfoundation/platform/testing/fake_main_thread.h"
#include "xrfoundation/tasks/multi_task.h"
#include "xrfoundation/tasks/testing/task_testing.h"

namespace xr {
namespace {

using Value = std::unique_ptr<int>;  // move-only on purpose
using CountTask = ValueTask<Value>;

std::shared_ptr<CountTask> makeCount(int steps, bool untilCancelled = false,
                                     std::shared_ptr<testing::SecondValueGate> gate = nullptr) {
  return testing::makeStepTask<Value>(steps, untilCancelled, std::move(gate),
                                      [] { return std::make_unique<int>(42); });
}

// The story ("|" marks the test's own action), with the checks that need every value. Written
// on the watcher's thread only, read once it has stopped.
struct Log : testing::Story {
  double lastProgress = -1;
  int progressCount = 0;
  bool progressWentBack = false;
  std::string description;
  int value = -1;  // the typed value taken in finished; -1: none
  TaskWatcher::Callbacks callbacks(std::function<void()> onFirstProgress = {},
                                   std::function<void()> afterFinished = {}) {
    return {
        .started = [this] { add("started"); },
        .progressChanged =
            [this, onFirstProgress](double progress) {
              add("progress");
              progressWentBack = progressWentBack || progress < lastProgress;
              lastProgress = progress;
              if (++progressCount == 1 && onFirstProgress) onFirstProgress();
            },
        .finished =
            [this, afterFinished](const TaskOutcome& outcome) {
              description = outcome.description;
              std::optional<Value> taken = outcome.takeValue<Value>();
              value = taken && *taken ? **taken : -1;
              add("finished:" + outcome.word);
              if (afterFinished) afterFinished();
            },
    };
  }
};

enum class Act { Nothing, Cancel, Destroy, Stop, SetNoTask, DestroyInFinished };

struct Case {
  const char* name;
  Act action;  // on the first progress delivery, while the next value is on its way
  bool untilCancelled;
  const char* story;
  int value;
  bool ownThread = false;  // made, called and destroyed on a dispatcher thread of its own
};

constexpr Case kCases[] = {
    {"runs to its end", Act::Nothing, false, "started progress finished:success", 42},
    {"cancel()", Act::Cancel, true, "started progress | progress finished:canceled", -1},
    {"destroyed", Act::Destroy, false, "started progress |", -1},
    {"stop()", Act::Stop, false, "started progress |", -1},
    {"task unset", Act::SetNoTask, false, "started progress |", -1},
    {"destroyed by its finished callback", Act::DestroyInFinished, false,
     "started progress finished:success", 42},
    {"own thread, runs to its end", Act::Nothing, false, "started progress finished:success", 42,
     true},
    {"own thread, destroyed there", Act::Destroy, false, "started progress |", -1, true},
};

// A thread that runs what is posted to its dispatcher: stands for a toolkit object that lives
// on a thread other than the main one.
struct DispatcherThread {
  DispatcherThread() {
    testing::Latch made(1);
    thread = std::thread([&] {
      dispatcher = std::make_shared<testing::FakeMainThread>();
      made.count_down();
      for (; !quit; std::this_thread::sleep_for(std::chrono::milliseconds(1)))
        dispatcher->runPending();
    });
    made.wait();
  }
  ~DispatcherThread() {
    quit = true;
    thread.join();
  }
  std::shared_ptr<testing::FakeMainThread> dispatcher;
  std::atomic<bool> quit{false};
  std::thread thread;
};

// Runs the library's loop until the task has ended and every delivery it caused has been made.
void runToEnd(const IAsyncTask* task) {
  ASSERT_TRUE(testing::runMainUntil([&] { return !testing::isRegistered(task); }, 60));
  testing::drainMainLoop();
}

// What happens when the first progress value is delivered, on the library's own loop or on the
// watcher's own thread (queued there from the main thread): the watcher delivers the story,
// finished at most once and last, the last value reported before it, and nothing once it is
// stopped or gone; no observer of ours keeps the task alive after.
TEST(TaskWatcherTest, FollowsTheTaskAndStopsWhenDestroyedStoppedCancelledOrUnset) {
  OperationQueue queue;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Log log;
    std::unique_ptr<DispatcherThread> own;
    if (c.ownThread) own = std::make_unique<DispatcherThread>();
    auto there = [&](const std::function<void()>& call) {
      own ? own->dispatcher->post(call, true) : call();
    };
    std::unique_ptr<TaskWatcher> watcher;
    auto gate = std::make_shared<testing::SecondValueGate>();
    auto onFirst = [&] {
      gate->firstTaken.count_down();
      if (c.action == Act::Nothing || c.action == Act::DestroyInFinished) return;
      gate->secondReported.wait();
      log.add("|");
      if (c.action == Act::Cancel) watcher->cancel();
      if (c.action == Act::Destroy) watcher.reset();
      if (c.action == Act::Stop) watcher->stop();
      if (c.action == Act::SetNoTask) watcher->setTask(nullptr);
    };
    auto afterFinished = [&] {
      if (c.action == Act::DestroyInFinished) watcher.reset();
    };
    auto task = makeCount(50, c.untilCancelled, gate);
    std::weak_ptr<CountTask> weakTask = task;
    there([&] {
      log.thread = std::this_thread::get_id();
      watcher = std::make_unique<TaskWatcher>(log.callbacks(onFirst, afterFinished),
                                              own ? own->dispatcher : nullptr);
      watcher->setTask(task);
    });
    task->startOnQueue(queue);
    ASSERT_NO_FATAL_FAILURE(runToEnd(task.get()));
    there([] {});  // after the deliveries queued to the watcher's thread so far

    EXPECT_EQ(log.story, c.story);
    EXPECT_EQ(log.value, c.value);
    EXPECT_FALSE(log.offThread);
    EXPECT_FALSE(log.progressWentBack);
    if (c.value == 42) {
      EXPECT_EQ(log.lastProgress, 1.0) << "the last value came after finished";
    }
    if (watcher) {
      EXPECT_EQ(watcher->isFinished(), c.value == 42 || c.untilCancelled);
      if (watcher->isFinished()) {
        EXPECT_EQ(task->delegateChain().delegateCount(), 0u) << "finished left the observer";
      }
      EXPECT_EQ(watcher->value<Value>(), nullptr) << "finished took the value";
    }
    there([&] { watcher.reset(); });
    own.reset();
    task.reset();
    // The queue's worker lets go of the task a moment after its finished event was sent.
    EXPECT_TRUE(testing::runMainUntil([&] { return weakTask.expired(); }, 10))
        << "something still holds the task";
  }
}

// Outcomes other than success, a task cancelled before it began, a composite (which relays its
// sub-tasks' events) and a busy reporter: finished carries the word, the description and the
// value; started comes only from work that ran; the watcher reports the composite's own events
// only, up to 1; a busy reporter wakes it a few dozen times a second, not once per value.
TEST(TaskWatcherTest, ReportsEachEndingAndCoalescesABusyReporter) {
  constexpr int kReports = 20000;
  auto failing = [] {
    return AsyncTaskBase::create<CountTask>([](CountTask& self) -> std::optional<Value> {
      self.fireStartEvent();
      return self.fail("disk full");
    });
  };
  auto composite = []() -> std::shared_ptr<AsyncTaskBase> {
    auto multi = AsyncTaskBase::create<MultiTask>();
    for (int i = 0; i < 3; ++i) {
      auto sub = makeCount(4);
      sub->setCalcProgress(true);
      EXPECT_TRUE(multi->appendTailTask(sub));
    }
    return multi;
  };
  auto busy = [] {
    return AsyncTaskBase::create<CountTask>([](CountTask& self) -> std::optional<Value> {
      self.fireStartEvent();
      for (int i = 1; i <= kReports; ++i) self.fireProgressEvent(static_cast<double>(i) / kReports);
      return std::make_unique<int>(7);
    });
  };
  struct Ending {
    const char* name;
    std::function<std::shared_ptr<AsyncTaskBase>()> make;
    bool cancelFirst;
    const char* story;
    const char* description;
    int value;
    double lastProgress;  // -1: none
  };
  const Ending endings[] = {
      {"fails", failing, false, "started finished:failed", "disk full", -1, -1},
      {"cancelled before the start", failing, true, "finished:canceled", "user canceled", -1, -1},
      {"composite", composite, false, "started progress finished:success", "", -1, 1.0},
      {"busy reporter", busy, false, "started progress finished:success", "", 7, 1.0},
  };
  OperationQueue queue;
  for (const Ending& e : endings) {
    SCOPED_TRACE(e.name);
    Log log;
    TaskWatcher watcher(log.callbacks());
    auto task = e.make();
    watcher.setTask(task);
    if (e.cancelFirst) task->cancel();
    task->startOnQueue(queue);
    ASSERT_NO_FATAL_FAILURE(runToEnd(task.get()));
    EXPECT_EQ(log.story, e.story);
    EXPECT_EQ(log.description, e.description);
    EXPECT_EQ(log.value, e.value);
    EXPECT_EQ(log.lastProgress, e.lastProgress);
    EXPECT_FALSE(log.progressWentBack);
    EXPECT_LT(log.progressCount, kReports / 10) << "progress was not coalesced";
    EXPECT_TRUE(watcher.isFinished());
  }
}

}  // namespace
}  // namespace xr
