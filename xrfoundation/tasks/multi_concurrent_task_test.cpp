#include "xrfoundation/tasks/multi_concurrent_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "xrfoundation/platform/testing/latch.h"
#include "xrfoundation/platform/testing/log_capture.h"
#include "xrfoundation/tasks/testing/task_testing.h"

namespace xr {
namespace {

using namespace testing;  // the task test helpers

// Runs on a serial queue; the cases whose course depends on the queue's cap run on every cap.
using MultiConcurrentTaskTest = testing::CompositeTest<MultiConcurrentTask>;
class MultiConcurrentTaskCapTest : public MultiConcurrentTaskTest {};

TEST_P(MultiConcurrentTaskTest, AllSucceedAndProgressIsTheFinishedFraction) {
  for (std::size_t count : {0u, 2u}) {
    recorder_ = std::make_shared<Recorder>();
    std::vector<std::shared_ptr<IAsyncTask>> subs;
    for (std::size_t i = 0; i < count; ++i) subs.push_back(makeTask(succeed));
    runToEnd(composite(subs));
    // One event per finished sub-task, none after the composite's own end, no start event.
    EXPECT_EQ(recorder_->story(),
              count ? "progress:0.5 progress:1 finished:success" : "progress:1 finished:success");
  }
}

// A sub-task that fails or throws: the composite still waits for every other one, lists the
// failed one, and refuses new work once finished.
TEST_P(MultiConcurrentTaskTest, AFailureStillWaitsForEverySubTaskAndIsListed) {
  testing::LogCapture log;  // the thrown failure logs
  const std::pair<std::function<void(WorkTask&)>, const char*> failures[] = {
      {[](WorkTask& t) { fail(t, "no space"); }, "no space"},
      {[](WorkTask&) { throw 7; }, "unknown exception"}};
  for (const auto& [work, description] : failures) {
    auto first = makeTask(work), second = makeTask(succeed);
    auto multi = composite({first, second});
    EXPECT_TRUE(multi->failedTask().empty()) << "nothing has failed before the work ran";
    runToEnd(multi);
    EXPECT_TRUE(second->isFinished()) << description;
    EXPECT_EQ(multi->taskResult()->result(), "failed") << description;
    EXPECT_EQ(multi->taskResult()->errorDescription(), "some subtask failed");
    const auto failed = multi->failedTask();
    ASSERT_EQ(failed.size(), 1u) << description;
    EXPECT_EQ(failed[0].get(), static_cast<IAsyncTask*>(first.get()));
    EXPECT_EQ(multi->getFailedTask()->size(), 1u);
    EXPECT_FALSE(multi->appendTailTask(makeTask())) << "a finished composite refuses new work";
    EXPECT_FALSE(multi->insertHeadTask(makeTask()));
  }
}

TEST_P(MultiConcurrentTaskTest, CancelWhileRunningDoesNotReachTheSubTasks) {
  testing::Latch started(1), release(1);
  auto slow = makeTask(workUntilReleased(started, release));
  auto multi = composite({slow});
  multi->startTask();
  started.wait();
  multi->cancel();
  EXPECT_FALSE(slow->isCancelled());
  release.count_down();
  ASSERT_TRUE(runMainUntil([&] { return !isRegistered(multi.get()); }));
  EXPECT_EQ(multi->taskResult()->result(), "success") << "the work stores its outcome as usual";
  EXPECT_TRUE(multi->cancelState());
}

// The sub-tasks run side by side, no more at once than the queue allows: the waiting composite
// frees its slot, no more.
TEST_P(MultiConcurrentTaskCapTest, SubTasksRunSideBySideAsTheQueueAllows) {
  std::atomic<int> running{0}, most{0};
  auto work = [&](WorkTask& t) {
    const int now = ++running;
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    --running;
    succeed(t);
  };
  std::vector<std::shared_ptr<IAsyncTask>> subs;
  for (int i = 0; i < 4; ++i) subs.push_back(makeTask(work));
  runToEnd(composite(subs));
  EXPECT_TRUE(GetParam() == OperationQueue::kUnlimited || most <= GetParam()) << most;
  if (GetParam() != 1) {
    testing::Latch bothRunning(2);
    auto meet = [&](WorkTask& t) {
      bothRunning.arrive_and_wait();  // would block for ever if they ran one after the other
      succeed(t);
    };
    auto multi = composite({makeTask(meet), makeTask(meet)});
    runToEnd(multi);
    EXPECT_TRUE(multi->finishedResult());
  }
}

INSTANTIATE_TEST_SUITE_P(Queue, MultiConcurrentTaskTest, ::testing::Values(1),
                         testing::queueCapName);
INSTANTIATE_TEST_SUITE_P(Queues, MultiConcurrentTaskCapTest,
                         ::testing::ValuesIn(testing::kQueueCaps), testing::queueCapName);

}  // namespace
}  // namespace xr
