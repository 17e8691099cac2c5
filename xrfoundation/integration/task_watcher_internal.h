// integration/task_watcher_internal.h: what the Qt and the GLib task watchers share: the link
// that a watcher cuts when it stops, and the observer that hands a task's events to the watcher,
// at once on the watcher's own thread and queued to it from any other.
#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "xrfoundation/tasks/async_task.h"

namespace xr::internal {

// What a watcher shares with its observer. The watcher clears `watcher` under the mutex when
// deliveries stop, and the observer queues to the watcher only under the mutex, while the
// watcher still exists: so nothing is queued to a watcher being destroyed, and a delivery
// queued before finds it gone.
template <class Watcher>
struct WatcherLink {
  std::mutex mutex;
  Watcher* watcher = nullptr;             // guarded by mutex
  std::optional<double> pendingProgress;  // the newest value of a queued delivery; guarded by mutex
};

// Registered with the task; receives its events where the library delivers them and hands
// them to the watcher. Across threads one queued delivery at a time carries the newest
// progress. The watcher (which befriends this class) provides:
//   bool onOwnThread() const;                  whether the calling thread is the watcher's
//   void queue(std::function<void()> call);    runs call later on the watcher's thread
//   void deliverStarted();  void deliverProgress(double);
//   void deliverFinished(const std::string& outcome, int code, const std::string& description);
// A delivery may destroy the watcher: nothing here touches it after the call.
template <class Watcher>
class WatcherObserver : public ITaskStartDelegate,
                        public ITaskProgressDelegate,
                        public ITaskFinishedDelegate {
 public:
  WatcherObserver(std::shared_ptr<WatcherLink<Watcher>> link, const IAsyncTask* task)
      : link_(std::move(link)), task_(task) {}

  void taskStart(const std::shared_ptr<IAsyncTask>& task) override {
    if (task.get() == task_) deliver([](Watcher& watcher) { watcher.deliverStarted(); });
  }

  // A composite relays its sub-tasks' events: only the watched task's own count.
  void taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) override {
    if (task.get() != task_) return;
    std::unique_lock lock(link_->mutex);
    Watcher* watcher = link_->watcher;
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
      Watcher* watcher = link->watcher;
      const std::optional<double> newest = std::exchange(link->pendingProgress, std::nullopt);
      lock.unlock();
      if (watcher != nullptr && newest) watcher->deliverProgress(*newest);
    });
  }

  void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                    const std::shared_ptr<TaskResult>& result) override {
    if (task.get() != task_) return;
    std::string outcome, description;
    int code = 0;
    if (result != nullptr) {
      outcome = result->result().value_or("");
      code = result->errorCode();
      description = result->errorDescription().value_or("");
    }
    deliver([outcome, code, description](Watcher& watcher) {
      watcher.deliverFinished(outcome, code, description);
    });
  }

 private:
  template <class Call>
  void deliver(Call call) {
    std::unique_lock lock(link_->mutex);
    Watcher* watcher = link_->watcher;
    if (watcher == nullptr) return;
    if (watcher->onOwnThread()) {
      lock.unlock();
      call(*watcher);
      return;
    }
    watcher->queue([link = link_, call] {
      std::unique_lock lock(link->mutex);
      Watcher* watcher = link->watcher;  // null once deliveries stopped
      lock.unlock();
      if (watcher != nullptr) call(*watcher);
    });
  }

  const std::shared_ptr<WatcherLink<Watcher>> link_;
  const IAsyncTask* const task_;  // identity only; the watcher holds the task
};

}  // namespace xr::internal
