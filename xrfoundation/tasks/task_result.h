// tasks/task_result.h: the outcome of one task -- success flag, outcome word ("success",
// "failed", "canceled", "timeout", "unstarted"), error code and description. Records are
// shared (shared_ptr); the text fields may be read and written from any thread, and each
// read gets a whole old or new text.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/guarded.h"

namespace xr {

// The outcome record of one task (see the file comment).
class XR_EXPORT TaskResult {
 public:
  // Not successful, no word, code 0, no description.
  TaskResult() = default;

  // The standard outcomes below make a new record on every call, error code 0.
  // "unstarted", described "task unstarted".
  static std::shared_ptr<TaskResult> taskUnstarted();
  // "timeout", described "wait response timeout".
  static std::shared_ptr<TaskResult> taskTimeout();
  // "canceled", described "user canceled".
  static std::shared_ptr<TaskResult> taskCancelled();
  // Successful, "success", no description.
  static std::shared_ptr<TaskResult> taskSuccessed();
  // "failed" with the given description.
  static std::shared_ptr<TaskResult> taskFailed(std::optional<std::string> description);

  // The success flag.
  bool isSuccess() const { return bSuccess_.load(std::memory_order_relaxed); }
  // Sets the success flag.
  void setIsSuccess(bool success) { bSuccess_.store(success, std::memory_order_relaxed); }
  // The outcome word; absent until set, and "" is a set, empty word.
  std::optional<std::string> result() const { return result_.get(); }
  // Sets the outcome word.
  void setResult(std::optional<std::string> word) { result_.set(std::move(word)); }
  // The error code; 0 unless set.
  int32_t errorCode() const { return errorCode_.load(std::memory_order_relaxed); }
  // Sets the error code.
  void setErrorCode(int32_t code) { errorCode_.store(code, std::memory_order_relaxed); }
  // The error description, or none.
  std::optional<std::string> errorDescription() const { return errorDescription_.get(); }
  // Sets the error description.
  void setErrorDescription(std::optional<std::string> description) {
    errorDescription_.set(std::move(description));
  }

  // True when the outcome word is present and equal to word.
  bool resultIs(const char* word) const;

 private:
  static std::shared_ptr<TaskResult> make(bool success, const char* word,
                                          std::optional<std::string> description);

  // The flag and the code are plain values, kept atomic so that readers on other threads
  // are well defined.
  std::atomic<bool> bSuccess_{false};
  Guarded<std::optional<std::string>> result_;
  std::atomic<int32_t> errorCode_{0};
  Guarded<std::optional<std::string>> errorDescription_;
};

}  // namespace xr
