// Two soaks of the task framework. The first: composites whose sub-tasks report progress, and
// a task whose progress comes from a thread that outlives its work, each round on queues of
// every cap: no observer, straight, on the main thread or coalesced, hears of a task after its
// finished event, and the last value reported before the end comes before it.
//
// The second, meant above all for the tsan preset: rounds of sequential and
// concurrent composites nested up to three deep, built on several threads at once, whose
// sub-tasks succeed, fail or notice a cancel, while other threads cancel, cancelLast and
// start them at random moments; sequential composites carry cancel-command tasks and
// transfer-typed sub-tasks, so both ways of ending a cancel-command task are taken. Bounded
// by kSoakTime, not by a number of rounds, so that a slow build still ends in time.
//
// After every round each observer has seen exactly one finished event per task and nothing
// of a task after it, and no task is registered; after all of them the registry is empty and every
// task object is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <latch>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "xrfoundation/platform/log_internal.h"
#include "xrfoundation/platform/platform_exception.h"
#include "xrfoundation/tasks/multi_concurrent_task.h"
#include "xrfoundation/tasks/multi_task.h"
#include "xrfoundation/tasks/task_testing_internal.h"

namespace xr {
namespace {

using namespace std::chrono_literals;
using namespace testing;  // the task test helpers

// Whether every observer saw each task's events in order: nothing after its one finished
// event, and, where `lastProgress` is given, that value as the last progress before it.
void expectNothingAfterFinished(Recorder& recorder, const IAsyncTask* task,
                                std::optional<double> lastProgress, const std::string& what) {
  std::size_t finished = 0;
  std::optional<double> last;
  for (const auto& event : recorder.events()) {
    if (event.task != task) continue;
    if (event.kind == "finished") {
      ++finished;
      if (lastProgress) {
        EXPECT_EQ(last, lastProgress) << what << ": the last value before finished";
      }
    } else if (finished) {
      ADD_FAILURE() << what << ": " << event.kind << " after finished";
      return;
    } else if (event.kind == "progress") {
      last = event.progress;
    }
  }
  EXPECT_EQ(finished, 1u) << what;
}

class NothingAfterFinishedTest : public ::testing::TestWithParam<int> {
 protected:
  NothingAfterFinishedTest() { queue_->setMaxConcurrentOperationCount(GetParam()); }
  ~NothingAfterFinishedTest() override {
    if (HasFailure()) (void)queue_.release();  // a hung composite must not hang the suite
  }

  // Reports 0.25, 0.5, 0.75, 1.0 and succeeds.
  std::shared_ptr<WorkTask> reporter() {
    auto task = makeTask([](WorkTask& t) {
      for (double value : {0.25, 0.5, 0.75, 1.0}) t.fireProgressEvent(value);
      succeed(t);
    });
    task->setCalcProgress(true);
    queue_->addOperation(task);
    return task;
  }
  template <class Composite>
  void runComposite(int round) {
    auto multi = AsyncTaskBase::create<Composite>();
    multi->appendTailTask(reporter());
    multi->appendTailTask(reporter());
    run(multi, 1.0,
        std::string(demangledTypeName(typeid(Composite))) + " round " + std::to_string(round));
  }
  // Runs the task to its end; `settle` runs before the events are checked.
  void run(const std::shared_ptr<AsyncTaskBase>& task, std::optional<double> lastProgress,
           const std::string& what, const std::function<void()>& settle = {}) {
    auto onMain = std::make_shared<Recorder>();
    auto straight = std::make_shared<Recorder>();
    auto coalesced = std::make_shared<Recorder>();
    task->addDelegate(onMain);
    task->addDelegateStraight(straight);
    task->addDelegateCoalesced(coalesced);
    queue_->addOperation(task);
    task->startTask();
    ASSERT_TRUE(runMainUntil([&] { return !isRegistered(task.get()); })) << what;
    if (settle) settle();
    while (mainLoop().processPending() > 0) {
    }
    expectNothingAfterFinished(*onMain, task.get(), lastProgress, what + ", on the main thread");
    expectNothingAfterFinished(*straight, task.get(), lastProgress, what + ", straight");
    expectNothingAfterFinished(*coalesced, task.get(), lastProgress, what + ", coalesced");
  }

  std::unique_ptr<OperationQueue> queue_ = std::make_unique<OperationQueue>();
};

TEST_P(NothingAfterFinishedTest, CompositesRelayTheirLastProgressBeforeFinished) {
  for (int round = 0; round < 25 && !HasFailure(); ++round) {
    runComposite<MultiTask>(round);
    runComposite<MultiConcurrentTask>(round);
  }
}

TEST_P(NothingAfterFinishedTest, ProgressFromAThreadThatOutlivesTheWorkStopsAtFinished) {
  for (int round = 0; round < 5 && !HasFailure(); ++round) {
    std::atomic<bool> stop{false};
    std::atomic<int> reports{0}, afterEnd{0};
    std::thread straggler;
    auto task = makeTask([&](WorkTask& t) {
      straggler = std::thread([&] {  // the test holds the task until it has joined
        for (int i = 0; !stop; ++i) {
          const bool ended = t.taskFinished();
          t.fireProgressEvent(i % 100 / 100.0);
          ++reports;
          if (ended) ++afterEnd;
        }
      });
      while (reports < 10) std::this_thread::yield();
      succeed(t);
    });
    run(task, std::nullopt, "round " + std::to_string(round), [&] {
      EXPECT_TRUE(runMainUntil([&] { return afterEnd >= 200; }));
      stop = true;
      straggler.join();
    });
  }
}

INSTANTIATE_TEST_SUITE_P(Queues, NothingAfterFinishedTest, ::testing::ValuesIn(kQueueCaps),
                         queueCapName);

constexpr auto kSoakTime = 20s;  // rounds begin only within this time
constexpr int kMinRounds = 2;
constexpr int kBuilders = 3;  // threads that build the composites of a round
constexpr int kTopsPerBuilder = 4;
constexpr int kCancellers = 2;
constexpr int kCancelsPerCanceller = 25;
constexpr double kEndSeconds = 120;  // a round that hasn't ended by then is hung

// The tasks of one round, added to by the builder threads.
struct Round {
  std::mutex mutex;
  std::vector<std::shared_ptr<AsyncTaskBase>> all;   // guarded by mutex
  std::vector<std::shared_ptr<AsyncTaskBase>> tops;  // guarded by mutex

  void add(const std::shared_ptr<AsyncTaskBase>& task) {
    std::lock_guard lock(mutex);
    all.push_back(task);
  }
  void addTop(const std::shared_ptr<AsyncTaskBase>& task) {
    std::lock_guard lock(mutex);
    tops.push_back(task);
  }
};

std::atomic<int> commandsRun{0};  // cancel-command tasks whose work ran

// Builds one round's composites from a seed; runs on a builder thread.
class Builder {
 public:
  Builder(Round& round, uint32_t seed) : round_(round), random_(seed) {}

  std::shared_ptr<AsyncTaskBase> top() {
    auto task = composite(0);  // already among all
    round_.addTop(task);
    return task;
  }

 private:
  std::shared_ptr<AsyncTaskBase> leaf() {
    const int kind = static_cast<int>(random_() % 4);
    const int spins = static_cast<int>(random_() % 40);
    auto task = makeTask([kind, spins](WorkTask& t) {
      for (int i = 0; i < spins && !t.isCancelled(); ++i) std::this_thread::yield();
      if (kind == 0) return fail(t, "leaf failed");
      if (t.isCancelled()) {
        t.setFinishedResult(false);
        return t.setTaskResult(TaskResult::taskCancelled());
      }
      t.fireProgressEvent(0.5);
      succeed(t);
    });
    task->setCalcProgress(random_() % 2);
    if (random_() % 4 == 0) task->setTaskType("WriteFileIncTask");
    round_.add(task);
    return task;
  }

  std::shared_ptr<AsyncTaskBase> child(int depth) {
    return depth < 2 && random_() % 3 == 0 ? composite(depth + 1) : leaf();
  }

  std::shared_ptr<AsyncTaskBase> composite(int depth) {
    const int count = static_cast<int>(random_() % 4);  // 0 to 3 sub-tasks, two for cancelLast
    if (random_() % 2) {
      auto multi = AsyncTaskBase::create<MultiTask>();
      for (int i = 0; i < count; ++i) multi->appendTailTask(child(depth));
      if (random_() % 2) {
        auto command = makeTask([](WorkTask& t) {
          commandsRun.fetch_add(1);
          succeed(t);
        });
        round_.add(command);
        multi->setCancelCmdTask(command);
      }
      round_.add(multi);
      return multi;
    }
    auto concurrent = AsyncTaskBase::create<MultiConcurrentTask>();
    for (int i = 0; i < count; ++i) concurrent->appendTailTask(child(depth));
    round_.add(concurrent);
    return concurrent;
  }

  Round& round_;
  std::mt19937 random_;
};

void drainMainLoop() {
  while (mainLoop().processPending() > 0) {
  }
}

class TaskSoakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    consoleLog().setLevel(LogLevel::Off);
    xrLog().setLevel(LogLevel::Off);
  }
  void TearDown() override {
    consoleLog().setLevel(LogLevel::Info);
    xrLog().setLevel(LogLevel::Info);
  }

  // One round; its tasks are released when it returns.
  void runRound(uint32_t seed) {
    Round round;
    std::vector<std::thread> builders;
    std::latch built(kBuilders);
    for (int b = 0; b < kBuilders; ++b) {
      builders.emplace_back([&, b] {
        Builder builder(round, seed * 31 + b);
        for (int i = 0; i < kTopsPerBuilder; ++i) builder.top();
        built.count_down();
      });
    }
    built.wait();
    for (auto& thread : builders) thread.join();

    // Three observers: one on the sending thread for every task, one on the main thread for
    // every task, and the usual main-thread one on the top composites.
    auto straight = std::make_shared<Recorder>();
    auto onMain = std::make_shared<Recorder>();
    auto topObserver = std::make_shared<Recorder>();
    for (auto& task : round.all) {
      task->addDelegateStraight(straight);
      task->addDelegateOnMainThread(onMain);
      queue_.addOperation(task);
    }
    for (auto& top : round.tops) top->addDelegate(topObserver);

    // Tops are started from two threads while the cancellers pick victims among all tasks.
    std::latch go(1 + kCancellers + 1);
    std::vector<std::thread> threads;
    for (int c = 0; c < kCancellers; ++c) {
      threads.emplace_back([&, c] {
        std::mt19937 pick(seed * 17 + c);
        go.arrive_and_wait();
        for (int i = 0; i < kCancelsPerCanceller; ++i) {
          auto& victim = round.all[pick() % round.all.size()];
          if (pick() % 3 == 0) {
            victim->cancelLast();
          } else {
            victim->cancel();
          }
          for (uint32_t spin = pick() % 200; spin > 0; --spin) std::this_thread::yield();
        }
      });
    }
    const size_t half = round.tops.size() / 2;
    threads.emplace_back([&] {
      go.arrive_and_wait();
      for (size_t i = half; i < round.tops.size(); ++i) round.tops[i]->startTask();
    });
    go.arrive_and_wait();
    for (size_t i = 0; i < half; ++i) round.tops[i]->startTask();
    for (auto& thread : threads) thread.join();

    ASSERT_TRUE(runMainUntil([&] { return topObserver->finishedCount() >= round.tops.size(); },
                             kEndSeconds))
        << "round " << seed << ": a top composite never ended";
    // A sub-task whose parent was cancelled before releasing it, and a cancel-command task
    // nobody ran, wait for ever on their hold; cancelling them is what the application does.
    for (auto& task : round.all) {
      if (!task->taskFinished()) task->cancel();
    }
    ASSERT_TRUE(runMainUntil(
        [&] {
          for (auto& task : round.all)
            if (isRegistered(task.get())) return false;
          return true;
        },
        kEndSeconds))
        << "round " << seed << ": a task stayed registered";
    for (auto& task : round.all) task->waitUntilFinished();
    drainMainLoop();

    for (Recorder* recorder : {straight.get(), onMain.get()}) {
      const auto perTask = recorder->finishedPerTask();
      EXPECT_EQ(perTask.size(), round.all.size()) << "round " << seed;
      for (const auto& [task, count] : perTask)
        ASSERT_EQ(count, 1u) << "round " << seed << ": finished events of one task";
      std::set<const IAsyncTask*> ended;
      for (const auto& event : recorder->events()) {
        if (event.kind == "finished") ended.insert(event.task);
        ASSERT_TRUE(event.kind == "finished" || !ended.count(event.task))
            << "round " << seed << ": " << event.kind << " after finished";
      }
    }
    for (const auto& event : onMain->events()) ASSERT_TRUE(event.onMain) << event.kind;
    for (const auto& event : straight->events("finished")) outcomes_[event.word] += 1;
    const auto topsFinished = topObserver->finishedPerTask();
    EXPECT_EQ(topsFinished.size(), round.tops.size()) << "round " << seed;
    for (const auto& [task, count] : topsFinished) ASSERT_EQ(count, 1u) << "round " << seed;
    rounds_ += 1;
    tasks_ += round.all.size();
  }

  OperationQueue queue_;
  int rounds_ = 0;
  size_t tasks_ = 0;
  std::map<std::string, int> outcomes_;  // finished events by outcome word
};

TEST_F(TaskSoakTest, NestedCompositesUnderConcurrentCancellationEndCleanly) {
  // Calls still pending from earlier tests may free their tasks while this one runs.
  drainMainLoop();
  const int32_t liveBefore = liveTaskCount();
  const auto start = std::chrono::steady_clock::now();
  for (uint32_t seed = 1;
       rounds_ < kMinRounds || std::chrono::steady_clock::now() - start < kSoakTime; ++seed) {
    runRound(seed);
    if (HasFatalFailure()) return;
  }
  // The last references (posted calls, completion steps) go with the main loop's queue.
  ASSERT_TRUE(runMainUntil([&] { return liveTaskCount() <= liveBefore; }));
  EXPECT_TRUE(registeredTasks().empty());
  EXPECT_LE(liveTaskCount(), liveBefore);
  // The soak reached what it is for: every way of ending, and cancel-command tasks that ran.
  for (const char* word : {"success", "failed", "canceled"}) EXPECT_GT(outcomes_[word], 0) << word;
  EXPECT_GT(commandsRun.load(), 0);
  std::printf("soak: %d rounds, %zu tasks, %d success, %d failed, %d canceled, %d commands run\n",
              rounds_, tasks_, outcomes_["success"], outcomes_["failed"], outcomes_["canceled"],
              commandsRun.load());
}

}  // namespace
}  // namespace xr
