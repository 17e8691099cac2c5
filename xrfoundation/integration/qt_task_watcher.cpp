#include "xrfoundation/integration/qt_task_watcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <functional>
#include <memory>
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

// The thread a watcher lives in, as the library's watcher sees it: deliveries made elsewhere
// reach it as events of its own, which TaskWatcher::event() runs. The core watcher posts only
// while the QObject exists (its destructor stops the core watcher first), and never waits.
class ObjectThread : public IMainThread {
 public:
  explicit ObjectThread(QObject* watcher) : watcher_(watcher) {}
  bool isMainThread() const override { return watcher_->thread() == QThread::currentThread(); }
  void post(std::function<void()> call, bool) override {
    auto* event = new DeliveryEvent(std::move(call));
    // Qt's queue is not visible to the race checkers: the hand-off is ordered in the
    // language's terms (integration_internal.h), after the event is made and before Qt has it.
    internal::publishHandoff();
    QCoreApplication::postEvent(watcher_, event);
  }

 private:
  QObject* const watcher_;
};

}  // namespace

// Each signal is emitted last: a slot may delete the watcher.
TaskWatcher::TaskWatcher(QObject* parent)
    : QObject(parent),
      core_({
                .started = [this] { Q_EMIT started(); },
                .progressChanged = [this](double progress) { Q_EMIT progressChanged(progress); },
                .finished =
                    [this](const TaskOutcome& outcome) {
                      Q_EMIT finished(QString::fromStdString(outcome.word), outcome.code,
                                      QString::fromStdString(outcome.description));
                    },
            },
            std::make_shared<ObjectThread>(this)) {}

// Stopped while the whole QObject still exists, so that no delivery is posted to it as it goes.
TaskWatcher::~TaskWatcher() { core_.stop(); }

bool TaskWatcher::event(QEvent* event) {
  internal::acceptHandoff();  // before the first look at an event another thread may have made
  if (event->type() != deliveryEventType()) return QObject::event(event);
  static_cast<DeliveryEvent*>(event)->run();  // may delete the watcher
  return true;
}

void TaskWatcher::cancel() { core_.cancel(); }

}  // namespace xr::qt
