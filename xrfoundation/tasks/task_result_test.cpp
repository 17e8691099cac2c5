#include "xrfoundation/tasks/task_result.h"

#include <gtest/gtest.h>

#include <thread>

namespace xr {
namespace {

struct Factory {
  const char* name;
  std::shared_ptr<TaskResult> (*make)();
  bool success;
  const char* word;
  std::optional<std::string> description;
};

TEST(TaskResultTest, FactoriesGiveTheStandardOutcomes) {
  const Factory factories[] = {
      {"unstarted", &TaskResult::taskUnstarted, false, "unstarted", "task unstarted"},
      {"timeout", &TaskResult::taskTimeout, false, "timeout", "wait response timeout"},
      {"cancelled", &TaskResult::taskCancelled, false, "canceled", "user canceled"},
      {"successed", &TaskResult::taskSuccessed, true, "success", std::nullopt},
      {"failed", [] { return TaskResult::taskFailed("disk full"); }, false, "failed", "disk full"},
      {"failed, no description", [] { return TaskResult::taskFailed(std::nullopt); }, false,
       "failed", std::nullopt},
      {"failed, empty description", [] { return TaskResult::taskFailed(""); }, false, "failed",
       ""},  // empty is not absent
  };
  for (const Factory& f : factories) {
    auto record = f.make();
    EXPECT_EQ(record->isSuccess(), f.success) << f.name;
    EXPECT_EQ(record->result(), f.word) << f.name;
    EXPECT_EQ(record->errorDescription(), f.description) << f.name;
    EXPECT_TRUE(record->resultIs(f.word)) << f.name;
    EXPECT_NE(f.make(), record) << f.name << ": every call must make a new record";
  }
  EXPECT_FALSE(TaskResult().resultIs("")) << "an absent word is not the empty word";
}

TEST(TaskResultTest, ConcurrentReadersSeeWholeTexts) {
  auto record = TaskResult::taskFailed("a");
  const std::string longText(1000, 'x');
  std::thread writer([&] {
    for (int i = 0; i < 5000; ++i) record->setErrorDescription(i % 2 ? longText : "a");
  });
  for (int i = 0; i < 5000; ++i) {
    auto text = record->errorDescription();
    ASSERT_TRUE(text == "a" || text == longText);
  }
  writer.join();
}

}  // namespace
}  // namespace xr
