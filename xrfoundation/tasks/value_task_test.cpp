#include "xrfoundation/tasks/value_task.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "xrfoundation/platform/operation.h"
#include "xrfoundation/platform/testing/latch.h"
#include "xrfoundation/platform/testing/log_capture.h"
#include "xrfoundation/tasks/testing/task_testing.h"

namespace xr {
namespace {

using Owned = std::unique_ptr<std::string>;  // move-only
using OwnedTask = ValueTask<Owned>;

std::shared_ptr<OwnedTask> runOwned(OwnedTask::Work work) {
  OperationQueue queue;
  auto task = AsyncTaskBase::create<OwnedTask>(std::move(work));
  task->startOnQueue(queue);
  task->waitUntilFinished();
  return task;
}

TEST(ValueTaskTest, OnlyASucceededTaskHasAValue) {
  struct Case {
    const char* name;
    OwnedTask::Work work;
    const char* word;
    std::optional<std::string> description;
  };
  const Case cases[] = {
      {"value",
       [](OwnedTask&) -> std::optional<Owned> { return std::make_unique<std::string>("a"); },
       "success", std::nullopt},
      {"fail()", [](OwnedTask& t) -> std::optional<Owned> { return t.fail("bad file"); }, "failed",
       "bad file"},
      {"a value after a failure was stored",
       [](OwnedTask& t) -> std::optional<Owned> {
         (void)t.fail("half read");
         return std::make_unique<std::string>("partial");
       },
       "failed", "half read"},
      {"none without a failure", [](OwnedTask&) -> std::optional<Owned> { return std::nullopt; },
       "failed", "no value"},
      {"throws", [](OwnedTask&) -> std::optional<Owned> { throw std::runtime_error("boom"); },
       "failed", "boom"},
      {"cancelled while running",
       [](OwnedTask& t) -> std::optional<Owned> {
         t.cancel();
         return std::make_unique<std::string>("late");
       },
       "canceled", "user canceled"},
  };
  testing::LogCapture log;  // the throwing case logs
  for (const Case& c : cases) {
    auto task = runOwned(c.work);
    EXPECT_EQ(task->taskResult()->result(), c.word) << c.name;
    EXPECT_EQ(task->taskResult()->errorDescription(), c.description) << c.name;
    EXPECT_EQ(task->finishedResult(), std::string(c.word) == "success") << c.name;
    if (std::string(c.word) == "success") {
      ASSERT_NE(task->value(), nullptr) << c.name;
      EXPECT_EQ(**task->value(), "a");
      std::optional<Owned> taken = task->takeValue();
      ASSERT_TRUE(taken && *taken);
      EXPECT_EQ(**taken, "a");
      EXPECT_EQ(task->value(), nullptr) << "taken";
      EXPECT_FALSE(task->takeValue()) << "taken once";
    } else {
      EXPECT_EQ(task->value(), nullptr) << c.name;
      EXPECT_FALSE(task->takeValue()) << c.name;
    }
  }
}

TEST(ValueTaskTest, CancelledBeforeItBeganHasNoValue) {
  OperationQueue queue;
  bool ran = false;
  auto task = AsyncTaskBase::create<ValueTask<int>>([&](ValueTask<int>&) -> std::optional<int> {
    ran = true;
    return 1;
  });
  queue.addOperation(task);
  task->cancel();
  task->waitUntilFinished();
  EXPECT_FALSE(ran);
  EXPECT_EQ(task->value(), nullptr);
  EXPECT_FALSE(task->finishedResult());
}

// A derived task overrides work(); its value is there for the completion callables, the
// finished event's observers on the main thread and any waiter.
class Sum : public ValueTask<long> {
 public:
  Sum(Token token, int upTo) : ValueTask(token), upTo_(upTo) {}

 protected:
  std::optional<long> work() override {
    long sum = 0;
    for (int i = 1; i <= upTo_; ++i) sum += i;
    return sum;
  }

 private:
  int upTo_;
};

class ValueReader : public ITaskFinishedDelegate {
 public:
  void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                    const std::shared_ptr<TaskResult>&) override {
    auto valued = std::dynamic_pointer_cast<ValueTask<long>>(task);
    const long* value = valued ? valued->value() : nullptr;
    seen = value ? *value : -1;
  }
  long seen = 0;  // main thread only
};

TEST(ValueTaskTest, TheValueIsThereForEveryWayOfLearningOfTheEnd) {
  OperationQueue queue;
  auto task = AsyncTaskBase::create<Sum>(100);
  auto reader = std::make_shared<ValueReader>();
  task->addDelegate(reader);
  long inCompletion = 0;
  testing::Latch completed(1);
  task->addCompletionBlock([&](bool success) {
    inCompletion = success && task->value() ? *task->value() : -1;
    completed.count_down();
  });
  task->startOnQueue(queue);
  ASSERT_TRUE(task->waitUntilTimeout(30));
  ASSERT_NE(task->value(), nullptr);
  EXPECT_EQ(*task->value(), 5050);
  completed.wait();
  EXPECT_EQ(inCompletion, 5050);
  ASSERT_TRUE(testing::runMainUntil([&] { return !testing::isRegistered(task.get()); }));
  EXPECT_EQ(reader->seen, 5050);
}

}  // namespace
}  // namespace xr
