#include "xrfoundation/integration/qt_main_thread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "xrfoundation/integration/integration_internal.h"

namespace xr {
namespace {

constexpr char kWhere[] = "QtMainThread";

QEvent::Type callEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// One posted call. Qt owns the event once it is posted: it deletes it after delivery, or unrun
// when its receiver goes away first; either way a waiting poster is released.
class CallEvent : public QEvent {
 public:
  // completion: the waiting poster's, on its stack; or null.
  CallEvent(std::function<void()> call, internal::Completion* completion)
      : QEvent(callEventType()), call_(std::move(call)), completion_(completion) {}
  ~CallEvent() override { release(); }

  void run() {
    internal::runGuarded(kWhere, call_);
    release();
  }

 private:
  // What the call held is let go before the poster learns that it has run.
  void release() {
    call_ = nullptr;
    if (completion_ != nullptr) std::exchange(completion_, nullptr)->signal();
  }

  std::function<void()> call_;
  internal::Completion* completion_;
};

class Receiver;

}  // namespace

namespace internal {

struct QtMainThreadState {
  std::mutex mutex;
  // Lives on the application's thread as a child of the application object, so it goes when
  // the application object goes; cleared by its destructor. Guarded by mutex.
  Receiver* receiver = nullptr;
  std::atomic<bool> droppedLogged{false};
};

}  // namespace internal

namespace {

class Receiver : public QObject {
 public:
  Receiver(std::shared_ptr<internal::QtMainThreadState> state, QObject* application)
      : QObject(application), state_(std::move(state)) {}

  // Runs before QObject's destructor drops the events still queued for this object; from here
  // on nothing more is posted to it.
  ~Receiver() override {
    std::lock_guard lock(state_->mutex);
    state_->receiver = nullptr;
  }

  bool event(QEvent* event) override {
    internal::acceptHandoff();  // before the first look at an event a worker may have made
    if (event->type() != callEventType()) return QObject::event(event);
    static_cast<CallEvent*>(event)->run();
    return true;
  }

 private:
  std::shared_ptr<internal::QtMainThreadState> state_;
};

}  // namespace

QtMainThread::QtMainThread(std::shared_ptr<internal::QtMainThreadState> state,
                           std::thread::id mainThread)
    : state_(std::move(state)), mainThread_(mainThread) {}

QtMainThread::~QtMainThread() = default;

std::shared_ptr<QtMainThread> QtMainThread::create() {
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr || application->thread() != QThread::currentThread()) return nullptr;
  auto state = std::make_shared<internal::QtMainThreadState>();
  state->receiver = new Receiver(state, application);  // owned by the application object
  return std::shared_ptr<QtMainThread>(new QtMainThread(state, std::this_thread::get_id()));
}

bool QtMainThread::isMainThread() const { return std::this_thread::get_id() == mainThread_; }

bool QtMainThread::attached() const {
  std::lock_guard lock(state_->mutex);
  return state_->receiver != nullptr;
}

void QtMainThread::post(std::function<void()> call, bool wait) {
  if (internal::postDoneAtOnce(*this, kWhere, call, wait)) return;
  std::optional<internal::Completion> completion;  // only a waiting post makes one
  if (wait) completion.emplace();
  auto* event = new CallEvent(std::move(call), completion ? &*completion : nullptr);
  {
    std::lock_guard lock(state_->mutex);
    if (state_->receiver != nullptr) {
      internal::publishHandoff();
      QCoreApplication::postEvent(state_->receiver, event);
      event = nullptr;
    }
  }
  if (event != nullptr) {
    if (!state_->droppedLogged.exchange(true))
      internal::logLine(
          LogLevel::Warn,
          std::string(kWhere) + ": the application object is gone; posted calls are dropped");
    delete event;  // releases a waiting poster: this very thread, so it does not block below
  }
  if (completion) completion->wait();
}

bool installQtMainThread() { return internal::installAdapter(QtMainThread::create()); }

}  // namespace xr
