#include "xrfoundation/tasks/task_result.h"

namespace xr {

std::shared_ptr<TaskResult> TaskResult::make(bool success, const char* word,
                                             std::optional<std::string> description) {
  auto record = std::make_shared<TaskResult>();
  record->bSuccess_ = success;
  record->result_ = word;
  record->errorDescription_ = std::move(description);
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

std::optional<std::string> TaskResult::result() const {
  std::lock_guard lock(mutex_);
  return result_;
}
void TaskResult::setResult(std::optional<std::string> word) {
  std::lock_guard lock(mutex_);
  result_ = std::move(word);
}
std::optional<std::string> TaskResult::errorDescription() const {
  std::lock_guard lock(mutex_);
  return errorDescription_;
}
void TaskResult::setErrorDescription(std::optional<std::string> description) {
  std::lock_guard lock(mutex_);
  errorDescription_ = std::move(description);
}
bool TaskResult::resultIs(const char* word) const {
  std::lock_guard lock(mutex_);
  return result_ && *result_ == word;
}

}  // namespace xr
