#include "xrfoundation/tasks/task_result.h"

namespace xr {

std::shared_ptr<TaskResult> TaskResult::make(bool success, const char* word,
                                             std::optional<std::string> description) {
  auto record = std::make_shared<TaskResult>();
  record->bSuccess_ = success;
  record->result_.set(word);
  record->errorDescription_.set(std::move(description));
  return record;
}

std::shared_ptr<TaskResult> TaskResult::taskUnstarted() {
  return make(false, "unstarted", "task unstarted");
}
std::shared_ptr<TaskResult> TaskResult::taskTimeout() {
  return make(false, "timeout", "wait response timeout");
}
std::shared_ptr<TaskResult> TaskResult::taskCancelled() {
  return make(false, "canceled", "user canceled");
}
std::shared_ptr<TaskResult> TaskResult::taskSuccessed() {
  return make(true, "success", std::nullopt);
}
std::shared_ptr<TaskResult> TaskResult::taskFailed(std::optional<std::string> description) {
  return make(false, "failed", std::move(description));
}

bool TaskResult::resultIs(const char* word) const {
  return result_.with(
      [word](const std::optional<std::string>& result) { return result && *result == word; });
}

}  // namespace xr
