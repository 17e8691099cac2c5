#include "xrfoundation/platform/operation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/testing/latch.h"
#include "xrfoundation/platform/testing/log_capture.h"
#include "xrfoundation/platform/testing/thread_end.h"

namespace xr {
namespace {

using namespace std::chrono_literals;

class Work : public Operation {
 public:
  explicit Work(std::function<void()> body = {}) : body_(std::move(body)) {}
  std::atomic<int> runs{0};

 protected:
  void main() override {
    ++runs;
    if (body_) body_();
  }

 private:
  std::function<void()> body_;
};

TEST(OperationTest, RunsOnceAfterItsDependenciesAndCompletesOnce) {
  OperationQueue queue;
  auto first = std::make_shared<Work>();
  std::atomic<bool> afterFirst{false};
  auto second = std::make_shared<Work>([&] { afterFirst = first->isFinished(); });
  auto hold = std::make_shared<Operation>();  // never runs: a hold
  second->addDependency(first);
  second->addDependency(first);   // twice is once
  second->addDependency(second);  // itself: ignored
  first->addDependency(hold);
  std::atomic<int> completions{0};
  second->setCompletionBlock([&] { ++completions; });
  queue.addOperation(second);
  queue.addOperation(first);
  queue.addOperation(first);  // twice is once
  EXPECT_FALSE(first->isReady());
  EXPECT_EQ(first->runs, 0) << "held by an unfinished dependency";
  first->removeDependency(hold);
  second->waitUntilFinished();
  EXPECT_TRUE(afterFirst);
  EXPECT_EQ(second->runs, 1);
  EXPECT_EQ(completions, 1);
  EXPECT_FALSE(second->isExecuting());
}

TEST(OperationTest, CancelledOperationIsRetiredWithoutRunningWhateverItsDependencies) {
  OperationQueue queue;
  auto hold = std::make_shared<Operation>();
  auto work = std::make_shared<Work>();
  work->addDependency(hold);
  std::promise<bool> completion;
  work->setCompletionBlock([&] { completion.set_value(work->isFinished()); });
  queue.addOperation(work);
  work->cancel();
  EXPECT_TRUE(work->isReady());
  EXPECT_TRUE(completion.get_future().get()) << "finished before its completion callable ran";
  work->waitUntilFinished();  // the promise outlives its set_value()
  EXPECT_EQ(work->runs, 0);
}

TEST(OperationTest, CompletionCallableHoldingItsOperationLetsGoOfIt) {
  std::weak_ptr<Work> weak;
  {
    OperationQueue queue;
    auto work = std::make_shared<Work>();
    weak = work;
    work->setCompletionBlock([work] {});  // a cycle until the callable has run
    queue.addOperation(work);
    work->waitUntilFinished();
  }
  EXPECT_TRUE(weak.expired());
}

TEST(OperationTest, WorkThatThrowsEndsFinishedLoggedOnceAndTheQueueGoesOn) {
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[] { throw std::runtime_error("disk gone"); },
       "Operation xr::(anonymous namespace)::Work failed, its work threw: disk gone"},
      {[] { throw 7; },
       "Operation xr::(anonymous namespace)::Work failed, its work threw: unknown exception"},
  };
  for (const auto& [body, line] : cases) {
    testing::LogCapture log;
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    auto throwing = std::make_shared<Work>(body);
    auto next = std::make_shared<Work>();
    queue.addOperation(throwing);
    queue.addOperation(next);
    next->waitUntilFinished();
    EXPECT_TRUE(throwing->isFinished()) << line;
    EXPECT_EQ(next->runs, 1) << "the queue went on after " << line;
    EXPECT_EQ(log.count(line), 1u) << "lines: " << ::testing::PrintToString(log.texts());
  }
}

// Operations that block their worker until other operations of the same queue have run must
// not starve the queue: it adds workers for the ready work.
TEST(OperationQueueTest, BlockedWorkersDoNotStarveTheQueue) {
  OperationQueue queue;
  constexpr int kBlocked = 6;
  testing::Latch released(1);
  std::vector<std::shared_ptr<Work>> blockers;
  for (int i = 0; i < kBlocked; ++i) {
    blockers.push_back(std::make_shared<Work>([&] { released.wait(); }));
    queue.addOperation(blockers.back());
  }
  auto releaser = std::make_shared<Work>([&] { released.count_down(); });
  queue.addOperation(releaser);
  for (auto& blocker : blockers) blocker->waitUntilFinished();
  // The releaser had a worker of its own; none has been idle long enough to retire yet.
  EXPECT_GE(queue.workerCount(), static_cast<std::size_t>(kBlocked + 1));
}

TEST(OperationQueueTest, MaximumBoundsTheWorkersAndDestructionDrainsReadyWork) {
  std::atomic<int> running{0}, peak{0}, ran{0};
  {
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(0);   // refused
    queue.setMaxConcurrentOperationCount(-5);  // refused
    EXPECT_EQ(queue.maxConcurrentOperationCount(), OperationQueue::kUnlimited);
    queue.setMaxConcurrentOperationCount(2);
    for (int i = 0; i < 40; ++i)
      queue.addOperation(std::make_shared<Work>([&] {
        const int now = ++running;
        int seen = peak.load();
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(1ms);
        --running;
        ++ran;
      }));
  }  // waits for the ready work
  EXPECT_EQ(ran, 40);
  EXPECT_LE(peak, 2);
}

TEST(OperationQueueTest, DestructionReturnsOnceItsThreadsHaveEnded) {
  // Its owner may unload the code or end the process as soon as the queue is gone.
  const int marked = testing::threadEnds().marked;
  {
    OperationQueue queue;
    for (int i = 0; i < 4; ++i)
      queue.addOperation(std::make_shared<Work>([] { testing::markThreadEnd(); }));
  }
  EXPECT_GT(testing::threadEnds().marked, marked);
  EXPECT_EQ(testing::threadEnds().ended, testing::threadEnds().marked);
}

TEST(OperationQueueTest, WorkWaitingForWorkOfItsOwnSerialQueueLeavesItsSlot) {
  // Leaked if the waiting work never ends, so that the failure is reported instead of the
  // queue's destruction waiting for ever.
  auto* queue = new OperationQueue;
  queue->setMaxConcurrentOperationCount(1);
  auto first = std::make_shared<Work>();
  auto second = std::make_shared<Work>();
  auto outer = std::make_shared<Work>([&] {
    queue->addOperation(first);
    queue->addOperation(second);
    first->waitUntilFinished();
    second->waitUntilFinished();
  });
  std::promise<void> ended;
  outer->setCompletionBlock([&] { ended.set_value(); });
  queue->addOperation(outer);
  const bool finished = ended.get_future().wait_for(20s) == std::future_status::ready;
  ASSERT_TRUE(finished) << "the waiting work kept the only slot";
  EXPECT_EQ(first->runs, 1);
  EXPECT_EQ(second->runs, 1);
  delete queue;
}

}  // namespace
}  // namespace xr
