#include "xrfoundation/tasks/value_task.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>

#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/testing/task_testing.h"

namespace xr {
namespace {

using Owned = std::unique_ptr<std::string>;  // move-only
using OwnedTask = ValueTask<Owned>;

TEST(ValueTaskTest, OnlyASucceededTaskHasAValue) {
  const struct {
    const char* name;
    OwnedTask::Work work;
    const char* word;
    std::optional<std::string> description;
  } cases[] = {
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
      {"cancelled while running",
       [](OwnedTask& t) -> std::optional<Owned> {
         t.cancel();
         return std::make_unique<std::string>("late");
       },
       "canceled", "user canceled"},
  };
  for (const auto& c : cases) {
    OperationQueue queue;
    auto task = AsyncTaskBase::create<OwnedTask>(c.work);
    task->startOnQueue(queue);
    task->waitUntilFinished();
    EXPECT_EQ(task->taskResult()->result(), c.word) << c.name;
    EXPECT_EQ(task->taskResult()->errorDescription(), c.description) << c.name;
    EXPECT_EQ(task->finishedResult(), std::string(c.word) == "success") << c.name;
    EXPECT_EQ(task->value() != nullptr, std::string(c.word) == "success") << c.name;
    std::optional<Owned> taken = task->takeValue();
    EXPECT_EQ(taken ? **taken : "none", std::string(c.word) == "success" ? "a" : "none");
    EXPECT_EQ(task->value(), nullptr) << "taken";
    EXPECT_FALSE(task->takeValue()) << "taken once";
  }
}

// A derived task overrides work(); its value is there for the completion callables and any
// waiter.
class Answer : public ValueTask<long> {
 public:
  using ValueTask::ValueTask;

 protected:
  std::optional<long> work() override { return 42; }
};

TEST(ValueTaskTest, ADerivedTasksValueIsThereForCompletionsAndWaiters) {
  OperationQueue queue;
  auto task = AsyncTaskBase::create<Answer>();
  std::promise<long> inCompletion;
  task->addCompletionBlock([&](bool success) {
    inCompletion.set_value(success && task->value() ? *task->value() : -1);
  });
  task->startOnQueue(queue);
  ASSERT_TRUE(task->waitUntilTimeout(30));
  ASSERT_NE(task->value(), nullptr);
  EXPECT_EQ(*task->value(), 42);
  EXPECT_EQ(inCompletion.get_future().get(), 42);
  ASSERT_TRUE(testing::runMainUntil([&] { return !testing::isRegistered(task.get()); }));
}

}  // namespace
}  // namespace xr
