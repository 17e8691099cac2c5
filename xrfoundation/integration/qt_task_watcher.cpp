#include "xrfoundation/integration/qt_task_watcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <functional>
#include <mutex>
#include <utility>

#include "xrfoundation/integration/integration_internal.h"

namespace xr::qt {
namespace {

QEvent::Type deliveryEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// One delivery queued to a watcher on another thread. Qt deletes it after TaskWatcher::event()
// has run it, or unrun when the watcher goes first.
class DeliveryEvent : public QEvent {
 public:
  explicit DeliveryEvent(std::function<void()> call)
      : QEvent(deliveryEventType()), call_(std::move(call)) {}
  void run() const { call_(); }

 private:
  std::function<void()> call_;
};

// Qt's queue is not visible to the race checkers: the hand-off is ordered in the language's
// terms (integration_internal.h), after the event is made and before Qt has it.
void postTo(QObject* watcher, std::function<void()> call) {
  auto* event = new DeliveryEvent(std::move(call));
  internal::publishHandoff();
  QCoreApplication::postEvent(watcher, event);
}

}  // namespace

// What the watcher shares with its observer. The watcher clears `watcher` under the mutex
// before it goes, and the observer posts to it only under the mutex: so nothing is posted to a
// watcher being destroyed, and what was posted before is dropped by Qt with the object.
struct TaskWatcher::Link {
  std::mutex mutex;
  TaskWatcher* watcher = nullptr;         // guarded by mutex
  std::optional<double> pendingProgress;  // the newest value of a queued delivery; guarded by mutex
};

// Receives the task's events where the library delivers them (its main thread) and hands
// them to the watcher: at once on the watcher's own thread, queued to it from any other.
class TaskWatcher::Observer : public ITaskStartDelegate,
                              public ITaskProgressDelegate,
                              public ITaskFinishedDelegate {
 public:
  Observer(std::shared_ptr<Link> link, const IAsyncTask* task)
      : link_(std::move(link)), task_(task) {}

  void taskStart(const std::shared_ptr<IAsyncTask>& task) override {
    if (task.get() == task_) deliver([](TaskWatcher& watcher) { watcher.deliverStarted(); });
  }

  // A composite relays its sub-tasks' events: only the watched task's own count.
  void taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) override {
    if (task.get() != task_) return;
    std::unique_lock lock(link_->mutex);
    TaskWatcher* watcher = link_->watcher;
    if (watcher == nullptr) return;
    if (watcher->thread() == QThread::currentThread()) {
      lock.unlock();
      watcher->deliverProgress(progress);
      return;
    }
    // Across threads one queued delivery at a time carries the newest value.
    const bool queued = link_->pendingProgress.has_value();
    link_->pendingProgress = progress;
    if (queued) return;
    postTo(watcher, [link = link_] {
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
    QString outcome, description;
    int code = 0;
    if (result != nullptr) {
      outcome = QString::fromStdString(result->result().value_or(""));
      code = result->errorCode();
      description = QString::fromStdString(result->errorDescription().value_or(""));
    }
    deliver([outcome, code, description](TaskWatcher& watcher) {
      watcher.deliverFinished(outcome, code, description);
    });
  }

 private:
  template <class Call>
  void deliver(Call call) {
    std::unique_lock lock(link_->mutex);
    TaskWatcher* watcher = link_->watcher;
    if (watcher == nullptr) return;
    if (watcher->thread() == QThread::currentThread()) {
      // A slot may delete the watcher: nothing here touches it after the call.
      lock.unlock();
      call(*watcher);
      return;
    }
    postTo(watcher, [link = link_, call] {
      std::unique_lock lock(link->mutex);
      TaskWatcher* watcher = link->watcher;  // null once setTask() moved on
      lock.unlock();
      if (watcher != nullptr) call(*watcher);
    });
  }

  const std::shared_ptr<Link> link_;
  const IAsyncTask* const task_;  // identity only; the watcher holds the task
};

TaskWatcher::TaskWatcher(QObject* parent) : QObject(parent) {}

TaskWatcher::~TaskWatcher() { detach(); }

void TaskWatcher::setTask(std::shared_ptr<IAsyncTask> task) {
  detach();
  task_ = std::move(task);
  finished_ = false;
  if (task_ == nullptr) return;
  link_ = std::make_shared<Link>();
  link_->watcher = this;
  observer_ = std::make_shared<Observer>(link_, task_.get());
  task_->addDelegateCoalesced(observer_);
}

bool TaskWatcher::event(QEvent* event) {
  internal::acceptHandoff();  // before the first look at an event another thread may have made
  if (event->type() != deliveryEventType()) return QObject::event(event);
  static_cast<DeliveryEvent*>(event)->run();  // may delete the watcher
  return true;
}

void TaskWatcher::cancel() {
  if (task_ != nullptr) task_->cancel();
}

void TaskWatcher::detach() {
  if (link_ != nullptr) {
    std::lock_guard lock(link_->mutex);
    link_->watcher = nullptr;
  }
  if (task_ != nullptr && observer_ != nullptr) task_->removeDelegate(observer_.get());
  observer_.reset();
  link_.reset();
}

// Each delivery emits last: a slot may delete the watcher.
void TaskWatcher::deliverStarted() {
  if (!finished_) Q_EMIT started();
}

void TaskWatcher::deliverProgress(double progress) {
  if (!finished_) Q_EMIT progressChanged(progress);
}

void TaskWatcher::deliverFinished(const QString& outcome, int code, const QString& description) {
  if (finished_) return;
  finished_ = true;
  Q_EMIT finished(outcome, code, description);
}

}  // namespace xr::qt
