// What observers hear around a task's end: composites whose sub-tasks report progress, and a
// task whose progress comes from a thread that outlives its work, each round on queues of
// every cap. No observer, straight, on the main thread or coalesced, hears of a task after its
// finished event, and the last value reported before the end comes before it.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "xrfoundation/platform/platform_exception.h"
#include "xrfoundation/tasks/multi_concurrent_task.h"
#include "xrfoundation/tasks/multi_task.h"
#include "xrfoundation/tasks/testing/task_testing.h"

namespace xr {
namespace {

using namespace testing;  // the task test helpers

// The composite fixture's queue, capped as the parameter says and let go after a failure.
class NothingAfterFinishedTest : public CompositeTest<MultiTask> {
 protected:
  // Runs the task to its end and checks what each observer heard (`lastProgress`, where given,
  // as the last value); `settle` runs before the events are checked.
  void run(const std::shared_ptr<AsyncTaskBase>& task, std::optional<double> lastProgress,
           const std::string& what, const std::function<void()>& settle = {}) {
    auto onMain = std::make_shared<Recorder>(), straight = std::make_shared<Recorder>(),
         coalesced = std::make_shared<Recorder>();
    task->addDelegate(onMain);
    task->addDelegateStraight(straight);
    task->addDelegateCoalesced(coalesced);
    task->startOnQueue(*queue_);
    ASSERT_TRUE(runMainUntil([&] { return !isRegistered(task.get()); })) << what;
    if (settle) settle();
    drainMainLoop();
    for (const auto& [recorder, how] : {std::pair{onMain, ", on the main thread"},
                                        {straight, ", straight"},
                                        {coalesced, ", coalesced"}}) {
      std::size_t finished = 0;
      std::optional<double> last;
      for (const auto& event : recorder->events()) {
        if (event.task != task.get()) continue;
        if (finished)
          return ADD_FAILURE() << what << how << ": " << event.kind << " after finished";
        if (event.kind == "progress") last = event.progress;
        if (event.kind == "finished") ++finished;
      }
      EXPECT_EQ(finished, 1u) << what << how;
      if (lastProgress) {
        EXPECT_EQ(last, lastProgress) << what << how << ": the last value before finished";
      }
    }
  }
  template <class Composite>
  void runComposite(int round) {
    auto multi = AsyncTaskBase::create<Composite>();
    for (int i = 0; i < 2; ++i) {
      auto reporter = makeTask([](WorkTask& t) {
        for (double value : {0.25, 0.5, 0.75, 1.0}) t.fireProgressEvent(value);
        succeed(t);
      });
      reporter->setCalcProgress(true);
      multi->appendTailTask(reporter);
    }
    run(multi, 1.0,
        std::string(demangledTypeName(typeid(Composite))) + " round " + std::to_string(round));
  }
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

}  // namespace
}  // namespace xr
