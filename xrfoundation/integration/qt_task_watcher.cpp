#include "xrfoundation/integration/qt_task_watcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <functional>
#include <mutex>
#include <utility>

#include "xrfoundation/integration/integration_internal.h"
#include "xrfoundation/integration/task_watcher_internal.h"

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

TaskWatcher::TaskWatcher(QObject* parent) : QObject(parent) {}

TaskWatcher::~TaskWatcher() { detach(); }

void TaskWatcher::setTask(std::shared_ptr<IAsyncTask> task) {
  detach();
  task_ = std::move(task);
  finished_ = false;
  if (task_ == nullptr) return;
  link_ = std::make_shared<internal::WatcherLink<TaskWatcher>>();
  link_->watcher = this;
  observer_ = std::make_shared<internal::WatcherObserver<TaskWatcher>>(link_, task_.get());
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

void TaskWatcher::deliverFinished(const std::string& outcome, int code,
                                  const std::string& description) {
  if (finished_) return;
  finished_ = true;
  Q_EMIT finished(QString::fromStdString(outcome), code, QString::fromStdString(description));
}

bool TaskWatcher::onOwnThread() const { return thread() == QThread::currentThread(); }

void TaskWatcher::queue(std::function<void()> call) { postTo(this, std::move(call)); }

}  // namespace xr::qt
