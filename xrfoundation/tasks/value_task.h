// tasks/value_task.h: a task that carries a typed result. Its work produces a value of type
// T (move-only types too); once the task has finished successfully, value() answers it, from
// any thread, as QFuture<T>::result() does. A task that failed, threw or was cancelled has
// no value. Everything else is the plain task's (async_task_base.h): held until startTask(),
// observers, waits, completion callables.
//
//   auto task = AsyncTaskBase::create<ValueTask<Contacts>>(
//       [](ValueTask<Contacts>& self) -> std::optional<Contacts> {
//         Contacts read;
//         ...                                     // look at self.isCancelled() now and then
//         if (broken) return self.fail("bad file");
//         return read;
//       });
//   ... after finished:  if (const Contacts* contacts = task->value()) show(*contacts);
#pragma once
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "xrfoundation/tasks/async_task_base.h"

namespace xr {

// A task whose work produces a T (see the file comment). Derive from it and override
// work(), or give the work as a callable to create().
template <class T>
class ValueTask : public AsyncTaskBase {
 public:
  // The work: returns the value, or none after fail() or a cancel.
  using Work = std::function<std::optional<T>(ValueTask&)>;

  // For the factory only (see AsyncTaskBase::Token); without work, work() must be overridden.
  explicit ValueTask(Token token, Work work = {}) : AsyncTaskBase(token), work_(std::move(work)) {}

  // The value, once the task has succeeded; null before, and for good when the task failed,
  // threw or was cancelled. Read it once the task has finished (finished event, completion
  // callable, a wait that answered true); it lives as long as the task, unless taken.
  const T* value() const { return hasValue_.load(std::memory_order_acquire) ? &*value_ : nullptr; }
  // Moves the value out, for move-only types: afterwards value() is null. Call it from one
  // thread, once the task has finished, while no other thread reads value().
  std::optional<T> takeValue() {
    if (!hasValue_.exchange(false, std::memory_order_acq_rel)) return std::nullopt;
    std::optional<T> taken = std::move(value_);
    value_.reset();
    return taken;
  }

  // For the work: stores the failure (finishedResult false, the description, a "failed"
  // record) and answers none, so that the work can `return fail("...")`.
  std::nullopt_t fail(std::string description) {
    setFinishedResult(false);
    setFinishedDescription(description);
    setTaskResult(TaskResult::taskFailed(std::move(description)));
    return std::nullopt;
  }

 protected:
  // The work, on the worker thread: the value, or none after storing a failure with fail().
  // The default runs the callable given to the constructor.
  virtual std::optional<T> work() { return work_ ? work_(*this) : std::nullopt; }

  // Settles the outcome from what work() gave: a value makes the task succeed with it, unless
  // the task was cancelled meanwhile ("canceled", no value) or the work stored a failure; none
  // with no failure stored fails the task with "no value".
  void main() final {
    std::optional<T> produced = work();
    if (isCancelled()) {
      setFinishedResult(false);
      setTaskResult(TaskResult::taskCancelled());
      return;
    }
    const std::shared_ptr<TaskResult> stored = taskResult();
    const bool failed =
        !finishedResult() || (stored && !stored->isSuccess() && !stored->resultIs("unstarted"));
    if (failed) return;
    if (!produced) {
      fail("no value");
      return;
    }
    value_ = std::move(produced);
    hasValue_.store(true, std::memory_order_release);
    setTaskResult(TaskResult::taskSuccessed());
  }

 private:
  Work work_;
  std::optional<T> value_;  // written by the work before hasValue_ is raised, then only taken
  std::atomic<bool> hasValue_{false};
};

}  // namespace xr
