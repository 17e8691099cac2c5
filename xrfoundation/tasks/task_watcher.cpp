#include "xrfoundation/tasks/task_watcher.h"

#include <mutex>
#include <utility>

namespace xr {

// The watcher clears `watcher` under the mutex when deliveries stop, and the observer hands a
// call to the watcher's thread only under the mutex while the watcher still exists: so nothing is
// queued to a watcher being destroyed, and a delivery queued before finds it gone.
struct TaskWatcher::Link {
  std::mutex mutex;
  TaskWatcher* watcher = nullptr;         // guarded by mutex
  std::optional<double> pendingProgress;  // the newest value of a queued delivery; guarded by mutex
};

// Receives the task's events where the library delivers them (the main thread) and hands them to
// the watcher: at once on the watcher's own thread, queued to it from any other, where one queued
// delivery at a time carries the newest progress. A delivery may destroy the watcher: nothing
// here touches it after the call.
class TaskWatcher::Observer : public ITaskStartDelegate,
                              public ITaskProgressDelegate,
                              public ITaskFinishedDelegate {
 public:
  Observer(std::shared_ptr<Link> link, const IAsyncTask* task)
      : link_(std::move(link)), task_(task) {}

  void taskStart(const std::shared_ptr<IAsyncTask>& task) override {
    if (task.get() == task_) deliver([](TaskWatcher& watcher) { watcher.deliverStarted(); });
  }

  void taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) override {
    if (task.get() != task_) return;
    std::unique_lock lock(link_->mutex);
    TaskWatcher* watcher = link_->watcher;
    if (watcher == nullptr) return;
    if (watcher->onOwnThread()) {
      lock.unlock();
      watcher->deliverProgress(progress);
      return;
    }
    const bool queued = link_->pendingProgress.has_value();
    link_->pendingProgress = progress;
    if (queued) return;
    watcher->queue([link = link_] {
      std::unique_lock lock(link->mutex);
      TaskWatcher* watcher = link->watcher;
      const std::optional<double> newest = std::exchange(link->pendingProgress, std::nullopt);
      lock.unlock();
      if (watcher != nullptr && newest) watcher->deliverProgress(*newest);
    });
  }

  void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                    const std::shared_ptr<TaskResult>& result) override {
    if (task.get() != task_) return;
    TaskOutcome outcome;
    if (result != nullptr) {
      outcome.word = result->result().value_or("");
      outcome.code = result->errorCode();
      outcome.description = result->errorDescription().value_or("");
    }
    deliver(
        [outcome = std::move(outcome)](TaskWatcher& watcher) { watcher.deliverFinished(outcome); });
  }

 private:
  template <class Call>
  void deliver(Call call) {
    std::unique_lock lock(link_->mutex);
    TaskWatcher* watcher = link_->watcher;
    if (watcher == nullptr) return;
    if (watcher->onOwnThread()) {
      lock.unlock();
      call(*watcher);
      return;
    }
    watcher->queue([link = link_, call = std::move(call)] {
      std::unique_lock lock(link->mutex);
      TaskWatcher* watcher = link->watcher;  // null once deliveries stopped
      lock.unlock();
      if (watcher != nullptr) call(*watcher);
    });
  }

  const std::shared_ptr<Link> link_;
  const IAsyncTask* const task_;  // identity only; the watcher holds the task
};

TaskWatcher::TaskWatcher(Callbacks callbacks, std::shared_ptr<IMainThread> thread)
    : callbacks_(std::make_shared<const Callbacks>(std::move(callbacks))),
      thread_(std::move(thread)) {}

TaskWatcher::~TaskWatcher() { stop(); }

void TaskWatcher::setTask(std::shared_ptr<IAsyncTask> task) {
  stop();
  task_ = std::move(task);
  finished_ = false;
  if (task_ == nullptr) return;
  link_ = std::make_shared<Link>();
  link_->watcher = this;
  observer_ = std::make_shared<Observer>(link_, task_.get());
  task_->addDelegateCoalesced(observer_);
}

void TaskWatcher::stop() {
  if (link_ == nullptr) return;
  {
    std::lock_guard lock(link_->mutex);
    link_->watcher = nullptr;
  }
  link_.reset();
  if (task_ != nullptr) task_->removeDelegate(observer_.get());
  observer_.reset();
}

bool TaskWatcher::onOwnThread() const { return thread_ == nullptr || thread_->isMainThread(); }

void TaskWatcher::queue(std::function<void()> call) { thread_->post(std::move(call), false); }

// Each callback runs last, from a copy of the shared callbacks: it may destroy the watcher.
void TaskWatcher::deliverStarted() {
  if (finished_ || !callbacks_->started) return;
  const std::shared_ptr<const Callbacks> callbacks = callbacks_;
  callbacks->started();
}

void TaskWatcher::deliverProgress(double progress) {
  if (finished_ || !callbacks_->progressChanged) return;
  const std::shared_ptr<const Callbacks> callbacks = callbacks_;
  callbacks->progressChanged(progress);
}

// Nothing follows finished, so deliveries stop before the callback.
void TaskWatcher::deliverFinished(TaskOutcome outcome) {
  if (finished_) return;
  finished_ = true;
  stop();
  if (!callbacks_->finished) return;
  const std::shared_ptr<const Callbacks> callbacks = callbacks_;
  outcome.task = task_;
  callbacks->finished(outcome);
}

}  // namespace xr
