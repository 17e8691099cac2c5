#include "xrfoundation/tasks/multi_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>

#include "xrfoundation/platform/testing/latch.h"
#include "xrfoundation/platform/testing/log_capture.h"
#include "xrfoundation/tasks/multi_concurrent_task.h"
#include "xrfoundation/tasks/testing/task_testing.h"

namespace xr {
namespace {

using namespace testing;  // the task test helpers

// Runs on a serial queue, where a composite waiting for its sub-tasks must leave its slot.
using MultiTaskTest = testing::CompositeTest<MultiTask>;
// Nested composites, run on queues of every cap.
class NestedMultiTaskTest : public MultiTaskTest {};

TEST_P(MultiTaskTest, EmptyCompositeStartsAndSucceeds) {
  auto multi = composite({});
  runToEnd(multi);
  EXPECT_EQ(recorder_->story(), "start finished:success");
}

// A sub-task that fails, throws, or fails with its cancel state set: the rest are cancelled
// unrun, the failure is logged, and the composite ends with the matching outcome.
TEST_P(MultiTaskTest, FirstFailureCancelsTheRestAndEndsTheComposite) {
  const struct {
    std::function<void(WorkTask&)> work;
    const char* word;
    const char* description;  // of the composite's outcome
    const char* logged;       // the failed sub-task's own description
  } rows[] = {
      {[](WorkTask& t) { fail(t, "disk full"); }, "failed", "disk full", "disk full"},
      {[](WorkTask&) { throw std::runtime_error("socket closed"); }, "failed", "socket closed",
       "socket closed"},
      {[](WorkTask& t) {
         t.openCancelState();
         t.setFinishedResult(false);
         t.setTaskResult(TaskResult::taskCancelled());
       },
       "canceled", "user canceled", "(null)"},
  };
  for (const auto& row : rows) {
    testing::LogCapture log;
    std::atomic<bool> thirdRan{false};
    auto third = makeTask([&](WorkTask&) { thirdRan = true; });
    auto multi = composite({makeTask(succeed), makeTask(row.work), third});
    runToEnd(multi);
    third->waitUntilFinished();
    EXPECT_FALSE(thirdRan) << row.logged;
    EXPECT_TRUE(third->isCancelled()) << row.logged;
    EXPECT_EQ(multi->taskResult()->result(), row.word) << row.logged;
    EXPECT_EQ(multi->taskResult()->errorDescription(), row.description) << row.logged;
    EXPECT_FALSE(multi->finishedResult()) << row.logged;
    EXPECT_EQ(multi->cancelState(), std::string(row.word) == "canceled") << row.logged;
    EXPECT_EQ(log.count(std::string("Task failed:errDescription = ") + row.logged), 1u);
  }
}

// Two levels of nesting: each level blocks its worker while the level below runs, which on a
// serial queue is possible only because blocked composites leave their slot.
TEST_P(NestedMultiTaskTest, CombinedProgressCountsOnlyCountingSubTasksAndNestedComposites) {
  auto reportHalf = [](WorkTask& t) {
    t.fireProgressEvent(0.5);
    succeed(t);
  };
  auto first = makeTask(succeed), second = makeTask(reportHalf);
  auto silent = makeTask(reportHalf), innerStep = makeTask(reportHalf);  // silent does not count
  auto inner = AsyncTaskBase::create<MultiTask>(), innermost = AsyncTaskBase::create<MultiTask>();
  for (auto& t : {first, second, innerStep}) t->setCalcProgress(true);
  innermost->appendTailTask(innerStep);
  inner->appendTailTask(innermost);
  queue_->addOperation(innerStep);
  queue_->addOperation(innermost);
  auto multi = composite({first, silent, second, inner});
  runToEnd(multi);
  // Three counting parts (composites count by default): the second at 0.5 is 1/3 + 0.5/3; the
  // innermost step at 0.5 makes both nested composites 0.5, so the whole is 2/3 + 0.5/3.
  const std::vector<double> values = recorder_->progressValues();
  ASSERT_EQ(values.size(), 2u);
  EXPECT_DOUBLE_EQ(values[0], 0.5);
  EXPECT_DOUBLE_EQ(values[1], 2.0 / 3 + 0.5 / 3);
  EXPECT_EQ(multi->taskResult()->result(), "success");
  EXPECT_EQ(innermost->taskResult()->result(), "success");
}

TEST(MultiTaskShareTest, ShareOfEachCountingSubTask) {
  auto a = makeTask(), b = makeTask(), c = makeTask(), stranger = makeTask();
  auto multi = AsyncTaskBase::create<MultiTask>();
  for (auto& t : {a, b, c}) multi->appendTailTask(t);
  double share = -1;
  EXPECT_EQ(multi->taskBeforeHasFinishedPercent(b, &share), 0.0) << "nobody counts";
  EXPECT_EQ(share, 1.0);
  for (auto& t : {a, c}) t->setCalcProgress(true);
  EXPECT_EQ(multi->taskBeforeHasFinishedPercent(a, &share), 0.0);
  EXPECT_EQ(share, 0.5);
  EXPECT_EQ(multi->taskBeforeHasFinishedPercent(c, nullptr), 0.5);
  EXPECT_EQ(multi->taskBeforeHasFinishedPercent(stranger, nullptr), 1.0) << "not in the list";
  for (auto& t : {a, b, c, stranger}) removeTaskFromGlobalArray(t);
  removeTaskFromGlobalArray(multi);
}

TEST_P(MultiTaskTest, CancelLastOfTwoEndsTheCompositeWhileTheFirstRunsOn) {
  testing::Latch firstStarted(1), releaseFirst(1);
  auto first = makeTask(workUntilReleased(firstStarted, releaseFirst));
  auto second = makeTask(succeed);
  auto multi = composite({first, second});
  multi->startTask();
  firstStarted.wait();
  multi->cancelLast();
  EXPECT_TRUE(second->isCancelled());
  EXPECT_TRUE(multi->waitUntilTimeout(10)) << "the walk notices cancelLast within a slice";
  EXPECT_FALSE(first->isFinished()) << "the first sub-task goes on";
  EXPECT_TRUE(runMainUntil([&] { return !isRegistered(multi.get()); }));
  EXPECT_EQ(multi->taskResult()->result(), "canceled");
  releaseFirst.count_down();
  first->waitUntilFinished();
  EXPECT_TRUE(runMainUntil([&] { return !isRegistered(first.get()); }));
}

TEST_P(MultiTaskTest, CancelBeforeTheStartCancelsEverythingFromLastToFirst) {
  testing::LogCapture log;
  std::vector<int> cancelOrder;
  std::vector<std::shared_ptr<IAsyncTask>> subs;
  for (int i = 0; i < 3; ++i) {
    auto sub = makeTask(succeed);
    sub->setCancelCallback([&cancelOrder, i] { cancelOrder.push_back(i); });
    subs.push_back(sub);
  }
  auto cancelCommand = makeTask(succeed);
  queue_->addOperation(cancelCommand);
  auto multi = composite(subs);
  multi->setCancelCmdTask(cancelCommand);
  multi->setTaskName("backup");
  multi->cancel();
  EXPECT_EQ(cancelOrder, (std::vector<int>{2, 1, 0}));
  EXPECT_TRUE(cancelCommand->isCancelled());
  EXPECT_TRUE(log.contains(fmt::format("cancelCancelTask: ({})", multi->taskNumber())));
  EXPECT_TRUE(log.contains("canceled taskName: backup"));
  EXPECT_TRUE(runMainUntil([&] { return !isRegistered(multi.get()); }));
  EXPECT_EQ(recorder_->story(), "finished:canceled");
  multi->cancel();  // a second cancel only warns
  EXPECT_EQ(log.count("[self isCancelled] || [self cancelState]"), 1u);
  for (auto& sub : subs) EXPECT_TRUE(runMainUntil([&] { return !isRegistered(sub.get()); }));
}

TEST_P(MultiTaskTest, NormalEndCancelsTheCancelCommandTaskAndTransfersRunIt) {
  auto cancelCommand = makeTask(succeed);
  queue_->addOperation(cancelCommand);
  auto multi = composite({makeTask(succeed)});
  multi->setCancelCmdTask(cancelCommand);
  runToEnd(multi);
  EXPECT_TRUE(cancelCommand->isCancelled());
  EXPECT_EQ(multi->taskResult()->result(), "success");

  // Cancelled during a file transfer: the cancel-command task runs instead.
  testing::Latch transferStarted(1);
  auto transfer = makeTask(workUntilCancelled(transferStarted));
  transfer->setTaskType("WriteFileIncTask");
  auto command = makeTask(succeed);
  queue_->addOperation(command);
  auto second = composite({transfer});
  second->setCancelCmdTask(command);
  second->startTask();
  transferStarted.wait();
  second->cancel();
  EXPECT_TRUE(second->waitUntilTimeout(10));
  command->waitUntilFinished();
  EXPECT_EQ(command->taskResult()->result(), "success") << "the command task ran";
  EXPECT_TRUE(runMainUntil([&] { return !isRegistered(second.get()); }));
  EXPECT_EQ(second->taskResult()->result(), "canceled");
}

TEST_P(NestedMultiTaskTest, StartOnQueueQueuesAndStartsTheNestedSubTasks) {
  OperationQueue other;
  auto onOther = makeTask(succeed);
  other.addOperation(onOther);
  auto inner = AsyncTaskBase::create<MultiConcurrentTask>();
  for (auto& sub : {makeTask(succeed), onOther}) inner->appendTailTask(sub);
  auto multi = AsyncTaskBase::create<MultiTask>();
  multi->appendTailTask(makeTask(succeed));
  multi->appendTailTask(inner);
  multi->startOnQueue(*queue_);
  ASSERT_TRUE(multi->waitUntilTimeout(30)) << "a sub-task was left off the queues";
  EXPECT_EQ(multi->taskResult()->result(), "success");
  EXPECT_TRUE(runMainUntil([&] { return !isRegistered(multi.get()); }));
}

INSTANTIATE_TEST_SUITE_P(Queue, MultiTaskTest, ::testing::Values(1), testing::queueCapName);
INSTANTIATE_TEST_SUITE_P(Queues, NestedMultiTaskTest, ::testing::ValuesIn(testing::kQueueCaps),
                         testing::queueCapName);

}  // namespace
}  // namespace xr
