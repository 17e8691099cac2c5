// tasks/task_result.h: the outcome of one task -- success flag, outcome word ("success",
// "failed", "canceled", "timeout", "unstarted"), error code and description. Records are
// shared (shared_ptr); the text fields may be read and written from any thread, and each
// read gets a whole old or new text.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace xr {

class TaskResult {
 public:
  TaskResult() = default;  // not successful, no word, code 0, no description

  // Standard outcomes; every call makes a new record, error code 0.
  static std::shared_ptr<TaskResult> taskUnstarted();  // "unstarted", "task unstarted"
  static std::shared_ptr<TaskResult> taskTimeout();    // "timeout", "wait response timeout"
  static std::shared_ptr<TaskResult> taskCancelled();  // "canceled", "user canceled"
  static std::shared_ptr<TaskResult> taskSuccessed();  // success, "success", no description
  static std::shared_ptr<TaskResult> taskFailed(std::optional<std::string> description);

  bool isSuccess() const { return bSuccess_.load(std::memory_order_relaxed); }
  void setIsSuccess(bool success) { bSuccess_.store(success, std::memory_order_relaxed); }
  std::optional<std::string> result() const;  // absent until set; "" is a set, empty word
  void setResult(std::optional<std::string> word);
  int32_t errorCode() const { return errorCode_.load(std::memory_order_relaxed); }
  void setErrorCode(int32_t code) { errorCode_.store(code, std::memory_order_relaxed); }
  std::optional<std::string> errorDescription() const;
  void setErrorDescription(std::optional<std::string> description);

  // True when the outcome word is present and equal to word.
  bool resultIs(const char* word) const;

 private:
  static std::shared_ptr<TaskResult> make(bool success, const char* word,
                                          std::optional<std::string> description);

  // The flag and the code are plain values, kept atomic so that readers on other threads
  // are well defined.
  std::atomic<bool> bSuccess_{false};
  mutable std::mutex mutex_;
  std::optional<std::string> result_;  // guarded by mutex_
  std::atomic<int32_t> errorCode_{0};
  std::optional<std::string> errorDescription_;  // guarded by mutex_
};

}  // namespace xr
