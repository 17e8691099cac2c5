#include "xrfoundation/tasks/async_task_base.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/testing/heap_usage.h"
#include "xrfoundation/platform/testing/latch.h"
#include "xrfoundation/platform/testing/log_capture.h"
#include "xrfoundation/tasks/multi_concurrent_task.h"
#include "xrfoundation/tasks/multi_task.h"
#include "xrfoundation/tasks/testing/task_testing.h"

namespace xr {
namespace {

using namespace testing;  // the task test helpers

template <class Tasks>
bool noneRegistered(const Tasks& tasks) {
  return std::none_of(tasks.begin(), tasks.end(), [](auto& t) { return isRegistered(t.get()); });
}

class AsyncTaskBaseTest : public ::testing::Test {
 protected:
  OperationQueue queue_;
  std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

TEST_F(AsyncTaskBaseTest, ConstructionNumbersCountsAndRegistersAndDestructionLogs) {
  testing::LogCapture log;
  const int32_t countBefore = liveTaskCount();
  int32_t first = 0;
  {
    auto a = makeTask(), b = makeTask();
    first = a->taskNumber();
    b->setTaskName("second");
    EXPECT_EQ(b->taskNumber(), first + 1);
    EXPECT_EQ(liveTaskCount(), countBefore + 2);
    EXPECT_TRUE(isRegistered(a.get()) && isRegistered(b.get()));
    EXPECT_EQ(a->taskResult()->result(), "unstarted");
    EXPECT_TRUE(log.contains(
        fmt::format("(+)AsyncTask number({}), task left count:{}", first, countBefore + 1)));
    for (auto& task : {a, b}) removeTaskFromGlobalArray(task);
  }
  EXPECT_EQ(liveTaskCount(), countBefore);
  EXPECT_TRUE(log.contains(fmt::format(
      "(-)AsyncTask number({}), task left count:{},taskName(second)", first + 1, countBefore + 1)));
  EXPECT_TRUE(log.contains(fmt::format(
      "(-)AsyncTask number({}), task left count:{},taskName((null))", first, countBefore)));
}

// Every report is made before the main loop delivers any: a coalescing observer, and the
// task's own bookkeeping, get only the newest progress, ahead of finished.
TEST_F(AsyncTaskBaseTest, LifecycleDeliversEventsAndCompletionsOnceThenLeavesTheRegistry) {
  auto task = makeTask([](WorkTask& t) {
    t.fireStartEvent();
    for (int i = 1; i <= 1000; ++i) t.fireProgressEvent(i / 2000.0);
    succeed(t);
  });
  task->addDelegate(recorder_);
  auto direct = std::make_shared<Recorder>(), newest = std::make_shared<Recorder>();
  task->addDelegateStraight(direct);
  task->addDelegateCoalesced(newest);
  std::promise<bool> completion;
  std::vector<int> order;
  task->addCompletionBlock(nullptr);
  task->addCompletionBlock([&](bool) { order.push_back(1); });
  task->addCompletionBlock([&](bool ok) {
    order.push_back(2);
    completion.set_value(ok);
  });
  queue_.addOperation(task);
  EXPECT_FALSE(task->waitUntilTimeout(0.1)) << "a held task must not begin before startTask";
  task->startTask();
  EXPECT_TRUE(task->waitUntilTimeout(10));
  EXPECT_TRUE(completion.get_future().get());
  task->addCompletionBlock([&](bool) { order.push_back(3); });  // too late: never called
  ASSERT_TRUE(runMainUntil([&] { return !isRegistered(task.get()); }));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));

  EXPECT_EQ(newest->story(), "start progress:0.5 finished:success");
  for (Recorder* every : {recorder_.get(), direct.get()}) {
    const auto events = every->events();
    ASSERT_EQ(events.size(), 1002u) << "the usual observers get every value";
    EXPECT_EQ(events.front().kind, "start");
    EXPECT_EQ(events[1000].progress, 0.5);
    EXPECT_EQ(events.back().word, "success");
    for (const auto& event : events)
      EXPECT_EQ(event.onMain, every == recorder_.get()) << event.kind;
  }
  EXPECT_EQ(task->progress(), 0.5) << "the task's own handling stores its progress";
  EXPECT_TRUE(task->taskFinished());
  EXPECT_EQ(task->status(), "Finished");
}

TEST_F(AsyncTaskBaseTest, WorkThatStoresNoOutcomeSendsNothingAndStaysRegistered) {
  testing::LogCapture log;
  auto silent = makeTask();
  auto lost = makeTask([](WorkTask& t) { t.setTaskResult(nullptr); });
  silent->addDelegateStraight(recorder_);
  lost->setTaskName("lost");
  for (auto& task : {silent, lost}) {
    task->startOnQueue(queue_);
    task->waitUntilFinished();
  }
  mainLoop().processPending();
  EXPECT_TRUE(recorder_->events().empty());
  EXPECT_GE(printLeftTask(), 1);
  EXPECT_TRUE(
      log.contains(fmt::format("left task:[xr::testing::WorkTask], {}", silent->description())));
  EXPECT_TRUE(log.contains(fmt::format("unexpected({})...lost", lost->taskNumber())));
  for (auto& task : {silent, lost}) removeTaskFromGlobalArray(task);
}

// Cancelled before it began, a task never runs, and a second cancel only sets the cancel state
// again. A plain cancel calls the cancel callback and ends the task once with "canceled" (a queue
// retires it unrun); a quiet one calls and sends nothing.
TEST_F(AsyncTaskBaseTest, CancelBeforeTheStartEndsOnceAndNeverRuns) {
  for (bool quiet : {false, true}) {
    SCOPED_TRACE(quiet ? "quiet" : "plain");
    recorder_ = std::make_shared<Recorder>();  // the second task may reuse the first's address
    bool ran = false;
    auto task = makeTask([&](WorkTask&) { ran = true; });
    task->addDelegate(recorder_);
    int callbacks = 0;
    task->setCancelCallback([&] { ++callbacks; });
    std::vector<bool> completions;
    testing::Latch completed(1);
    task->addCompletionBlock([&](bool ok) {
      completions.push_back(ok);
      completed.count_down();
    });
    if (!quiet) queue_.addOperation(task);
    quiet ? task->openCancelState() : task->cancel();
    EXPECT_TRUE(task->isCancelled() && task->cancelState());
    task->cancel();
    EXPECT_EQ(task->finishedResult(), quiet);
    EXPECT_EQ(callbacks, quiet ? 0 : 1);
    EXPECT_TRUE(task->waitUntilTimeout(0)) << "a cancelled task that is not executing will not run";
    // The queue retires a plain-cancelled task without running the work.
    quiet ? removeTaskFromGlobalArray(task) : completed.wait();
    ASSERT_TRUE(runMainUntil([&] { return !isRegistered(task.get()); }));
    drainMainLoop();
    EXPECT_FALSE(ran);
    EXPECT_EQ(completions, quiet ? std::vector<bool>{} : std::vector<bool>{false});
    EXPECT_EQ(recorder_->story(), quiet ? "" : "finished:canceled");
    EXPECT_EQ(task->taskResult()->result(), quiet ? "unstarted" : "canceled");
  }
}

// A cancel while the work runs is honoured whether or not the task said it could be
// cancelled; only the unexpected one is logged.
TEST_F(AsyncTaskBaseTest, CancelWhileExecutingLetsTheWorkEndEarly) {
  for (bool canCancel : {true, false}) {
    testing::LogCapture log;
    recorder_ = std::make_shared<Recorder>();  // the second task may reuse the first's address
    testing::Latch started(1);
    auto task = makeTask(workUntilCancelled(started));
    task->setCanCancelled(canCancel);
    task->addDelegate(recorder_);
    int callbacks = 0;
    task->setCancelCallback([&] { ++callbacks; });
    task->startOnQueue(queue_);
    started.wait();
    EXPECT_EQ(task->status(), "Waiting") << "the work did not raise its executing status";
    task->cancel();
    EXPECT_TRUE(task->waitUntilTimeout(10));
    ASSERT_TRUE(runMainUntil([&] { return !isRegistered(task.get()); }));
    EXPECT_EQ(callbacks, 0) << "the cancel callback is for tasks that have not begun";
    EXPECT_TRUE(task->cancelState());
    EXPECT_EQ(recorder_->count("finished", task.get()), 1u);
    EXPECT_EQ(log.count("WARNING: AsyncTask unexpected cancel"), canCancel ? 0u : 1u);
  }
}

TEST_F(AsyncTaskBaseTest, StrangersAndOddInputsGiveDefinedResults) {
  testing::LogCapture log;
  auto task = makeTask(), other = makeTask();
  // Events about another task leave this one alone.
  task->taskFinished(other, TaskResult::taskSuccessed());
  task->taskProgressChanged(other, 0.9);
  EXPECT_FALSE(task->taskFinished());
  EXPECT_EQ(task->progress(), 0.0);
  EXPECT_EQ(task->taskResult()->result(), "unstarted");
  EXPECT_TRUE(isRegistered(task.get()));

  for (float odd : {std::nanf(""), 2.0f, -0.1f}) task->setTaskPriority(odd);
  EXPECT_EQ(task->threadPriority(), 0.5);
  task->setTaskPriority(1.0f);
  EXPECT_EQ(task->threadPriority(), 1.0);
  EXPECT_EQ(task->userDataForKey("missing"), nullptr);
  EXPECT_FALSE(task->getFailedTask().has_value());

  // The registry removes every occurrence; a stranger changes nothing but is still logged.
  removeTaskFromGlobalArray(other);
  addTaskToGlobalArray(task);
  removeTaskFromGlobalArray(task);
  EXPECT_FALSE(isRegistered(task.get()));
  const std::size_t left = registeredTasks().size();
  removeTaskFromGlobalArray(task);
  removeTaskFromGlobalArray(nullptr);
  EXPECT_EQ(registeredTasks().size(), left);
  EXPECT_EQ(log.count(fmt::format("(--)finishedTask, taskNumber({}), left count({})",
                                  task->taskNumber(), left)),
            2u);
}

TEST_F(AsyncTaskBaseTest, CancelledTasksThatNeverRanLeaveNoMemoryBehind) {
  if (!heapBytesInUse()) GTEST_SKIP() << "the heap cannot be measured in this build";
  QuietLogs quiet;
  // Most never reach a queue; every tenth is retired by one, as a composite's cancelled
  // sub-tasks are.
  auto round = [&](int tasks) {
    for (int i = 0; i < tasks; ++i) {
      auto task = makeTask();
      if (i % 10 == 0) queue_.addOperation(task);
      task->cancel();
    }
    ASSERT_TRUE(runMainUntil([&] { return queue_.operationCount() == 0; }));
    drainMainLoop();
  };
  round(1000);  // the registry, the queue and the main loop reach their working size
  const std::size_t before = *heapBytesInUse();
  for (int i = 0; i < 100; ++i) round(1000);
  const std::size_t after = *heapBytesInUse();
  EXPECT_LT(after, before + (1u << 20))
      << (after - before) / 100000.0 << " bytes kept per task after 100,000 tasks";
}

// startTask and cancel race from two threads: each task either ran its work (and ends
// "success") or was reported "canceled" and never ran; its completion callables agree.
TEST_F(AsyncTaskBaseTest, ATaskReportedCanceledBeforeItBeganNeverRuns) {
  QuietLogs quiet;
  constexpr int kTasks = 200;
  for (int round = 0; round < 20; ++round) {
    auto direct = std::make_shared<Recorder>();
    std::vector<std::shared_ptr<WorkTask>> tasks;
    std::vector<std::atomic<int>> ran(kTasks), completedWith(kTasks);
    for (int i = 0; i < kTasks; ++i) {
      tasks.push_back(makeTask([&ran, i](WorkTask& t) {
        ran[i] = 1;
        succeed(t);
      }));
      tasks[i]->addDelegateStraight(direct);
      // A cancel callback takes its time, as real ones do: the worker may begin meanwhile.
      tasks[i]->setCancelCallback([] {
        for (int spin = 0; spin < 20; ++spin) std::this_thread::yield();
      });
      tasks[i]->addCompletionBlock([&completedWith, i](bool ok) { completedWith[i] = ok ? 1 : 2; });
      queue_.addOperation(tasks[i]);
    }
    std::atomic<int> started{0};  // each cancel follows its start closely
    std::thread starter([&] {
      for (auto& task : tasks) {
        task->startTask();
        ++started;
      }
    });
    for (int i = 0; i < kTasks; ++i) {
      while (started.load() <= i) std::this_thread::yield();
      tasks[i]->cancel();
    }
    starter.join();
    for (auto& task : tasks) task->waitUntilFinished();
    std::map<const IAsyncTask*, std::string> words;  // all of each task's, one after another
    for (const auto& event : direct->events("finished")) words[event.task] += event.word;
    for (int i = 0; i < kTasks; ++i) {
      ASSERT_EQ(words[tasks[i].get()], ran[i] ? "success" : "canceled") << round << ", " << i;
      ASSERT_EQ(completedWith[i].load(), ran[i] ? 1 : 2) << round << ", " << i;
    }
    ASSERT_TRUE(runMainUntil([&] { return noneRegistered(tasks); }));
  }
}

TEST_F(AsyncTaskBaseTest, AnExceptionEscapingTheWorkEndsTheTaskFailed) {
  testing::LogCapture log;
  auto throwing = makeTask([](WorkTask& t) {
    t.setExecutingStatus(true);
    throw std::runtime_error("disk on fire");
  });
  auto odd = makeTask([](WorkTask&) { throw 42; });
  std::atomic<int> completionsFalse{0};  // the two tasks complete on two workers
  for (auto& task : {throwing, odd}) {
    task->addDelegate(recorder_);
    task->addCompletionBlock([&](bool success) { completionsFalse += !success; });
    task->startOnQueue(queue_);
  }
  ASSERT_TRUE(runMainUntil([&] { return recorder_->finishedCount() == 2; }));
  EXPECT_EQ(completionsFalse.load(), 2);
  for (const auto& [task, description] :
       {std::pair{throwing, "disk on fire"}, std::pair{odd, "unknown exception"}}) {
    EXPECT_EQ(task->finishedDescription(), description);
    EXPECT_EQ(task->taskResult()->result(), "failed");
    EXPECT_EQ(task->taskResult()->errorDescription(), description);
    EXPECT_EQ(task->status(), "Finished");
    EXPECT_EQ(log.count(fmt::format("AsyncTask number({}) failed, its work threw: {}",
                                    task->taskNumber(), description)),
              1u);
  }
}

// Rounds of tasks built on two threads at once: plain tasks, and sequential and concurrent
// composites nested up to three deep, whose leaves succeed, fail or notice a cancel; sequential
// ones may carry a cancel-command task, and some leaves are transfer-typed. The tops start from
// two threads while two others cancel and cancelLast tasks at random. After every round each
// observer (straight, on the main thread, on the tops) has heard one finished event per task and
// no task is registered; at the end every task object is gone.
TEST_F(AsyncTaskBaseTest, StressEveryTaskEndsOnceUnderRandomCancellation) {
  constexpr double kEndSeconds = 120;  // a round that hasn't ended by then is hung
  drainMainLoop();  // calls pending from earlier tests may free their tasks meanwhile
  const int32_t liveBefore = liveTaskCount();
  QuietLogs quiet(LogLevel::Off);
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    std::mutex mutex;
    std::vector<std::shared_ptr<AsyncTaskBase>> all, tops;  // guarded by mutex while building
    auto keep = [&](std::shared_ptr<AsyncTaskBase> task, auto& list) {
      std::lock_guard lock(mutex);
      list.push_back(task);
      return task;
    };
    // A top is a composite three times in four; below it, one in three down to depth 2.
    std::function<std::shared_ptr<AsyncTaskBase>(std::mt19937&, int)> make =
        [&](std::mt19937& random, int depth) -> std::shared_ptr<AsyncTaskBase> {
      if (depth == 0 ? random() % 4 == 0 : depth > 2 || random() % 3 != 0) {
        const bool fails = random() % 4 == 0;
        const int spins = static_cast<int>(random() % 40);
        auto leaf = makeTask([fails, spins](WorkTask& t) {
          for (int i = 0; i < spins && !t.isCancelled(); ++i) std::this_thread::yield();
          if (fails || t.isCancelled()) return fail(t, "failed or cancelled");
          t.fireProgressEvent(0.5);
          succeed(t);
        });
        leaf->setCalcProgress(random() % 2);
        if (random() % 4 == 0) leaf->setTaskType("WriteFileIncTask");
        return keep(leaf, all);
      }
      auto multi = random() % 2 ? AsyncTaskBase::create<MultiTask>() : nullptr;
      if (multi && random() % 2) multi->setCancelCmdTask(keep(makeTask(succeed), all));
      std::shared_ptr<CompositeTask> composite = multi;
      if (!multi) composite = AsyncTaskBase::create<MultiConcurrentTask>();
      for (int i = random() % 4; i > 0; --i) composite->appendTailTask(make(random, depth + 1));
      return keep(composite, all);
    };
    std::vector<std::thread> threads;
    for (uint32_t b = 0; b < 2; ++b)
      threads.emplace_back([&, b] {
        std::mt19937 random(seed * 31 + b);
        for (int i = 0; i < 12; ++i) keep(make(random, 0), tops);
      });
    for (auto& thread : threads) thread.join();
    threads.clear();
    auto straight = std::make_shared<Recorder>(), onMain = std::make_shared<Recorder>();
    for (auto& task : all) {
      task->addDelegateStraight(straight);
      task->addDelegateOnMainThread(onMain);
      queue_.addOperation(task);
    }
    for (auto& top : tops) top->addDelegate(recorder_);

    testing::Latch go(4);
    for (uint32_t c = 0; c < 2; ++c)
      threads.emplace_back([&, c] {
        std::mt19937 pick(seed * 17 + c);
        go.arrive_and_wait();
        for (int i = 0; i < 25; ++i) {
          auto& victim = all[pick() % all.size()];
          pick() % 3 == 0 ? victim->cancelLast() : victim->cancel();
          for (uint32_t spin = pick() % 200; spin > 0; --spin) std::this_thread::yield();
        }
      });
    for (size_t from : {size_t{0}, tops.size() / 2})
      threads.emplace_back([&, from] {
        go.arrive_and_wait();
        for (size_t i = from; i < from + tops.size() / 2; ++i) tops[i]->startTask();
      });
    for (auto& thread : threads) thread.join();

    ASSERT_TRUE(runMainUntil([&] { return recorder_->finishedPerTask().size() == tops.size(); },
                             kEndSeconds))
        << "round " << seed << ": a top never ended";
    // A sub-task whose parent was cancelled before releasing it, and a cancel-command task
    // nobody ran, wait for ever on their hold; cancelling them is what the application does.
    for (auto& task : all)
      if (!task->taskFinished()) task->cancel();
    ASSERT_TRUE(runMainUntil([&] { return noneRegistered(all); }, kEndSeconds))
        << "round " << seed << ": a task stayed registered";
    for (auto& task : all) task->waitUntilFinished();
    drainMainLoop();
    for (Recorder* recorder : {straight.get(), onMain.get(), recorder_.get()}) {
      const auto perTask = recorder->finishedPerTask();
      EXPECT_EQ(perTask.size(), recorder == recorder_.get() ? tops.size() : all.size());
      for (const auto& [task, count] : perTask) ASSERT_EQ(count, 1u) << "round " << seed;
    }
    for (const auto& event : onMain->events()) ASSERT_TRUE(event.onMain) << event.kind;
    recorder_ = std::make_shared<Recorder>();
  }
  // The last references (posted calls, completion steps) go with the main loop's queue.
  ASSERT_TRUE(runMainUntil([&] { return liveTaskCount() <= liveBefore; }))
      << liveTaskCount() << " tasks still alive";
  EXPECT_TRUE(registeredTasks().empty());
}

}  // namespace
}  // namespace xr
