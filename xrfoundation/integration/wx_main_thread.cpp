#include "xrfoundation/integration/wx_main_thread.h"

#include <wx/app.h>
#include <wx/event.h>
#include <wx/thread.h>
#include <wx/tracker.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "xrfoundation/integration/integration_internal.h"

namespace xr {

namespace internal {

// What the adapter shares with the events it queued and with the application's tracker node:
// the calls themselves wait here, in posting order, and each queued event runs the oldest. So
// detaching lets go of every waiting call at once, on the detaching thread, whatever wxWidgets
// still holds; an event that finds no call does nothing.
struct WxMainThreadState {
  struct Call {
    std::function<void()> run;
    internal::Completion* completion;  // the waiting poster's, on its stack; or null
  };

  std::mutex mutex;
  wxAppConsole* application;  // null once detached; guarded by mutex
  std::deque<Call> calls;     // guarded by mutex
  std::atomic<bool> droppedLogged{false};

  // Lets go of the waiting calls, and of every later one. What a call held is let go before its
  // poster learns that it has been dropped.
  void detach() {
    std::deque<Call> dropped;
    {
      std::lock_guard lock(mutex);
      application = nullptr;
      dropped.swap(calls);
    }
    for (Call& call : dropped) {
      call.run = nullptr;
      if (call.completion != nullptr) call.completion->signal();
    }
  }
};

}  // namespace internal

namespace {

constexpr char kWhere[] = "WxMainThread";

// The event that CallAfter() queues, executed by wxWidgets when the application object serves
// its pending events: runs the oldest waiting call. wxWidgets deletes it after delivery, or
// unrun with the application object.
class RunOldestEvent : public wxAsyncMethodCallEvent {
 public:
  RunOldestEvent(wxAppConsole* application, std::shared_ptr<internal::WxMainThreadState> state)
      : wxAsyncMethodCallEvent(application), state_(std::move(state)) {}
  RunOldestEvent(const RunOldestEvent&) = default;
  RunOldestEvent& operator=(const RunOldestEvent&) = delete;

  wxEvent* Clone() const override { return new RunOldestEvent(*this); }
  void Execute() override {
    internal::acceptHandoff();  // before the first look at a call a worker made
    std::unique_lock lock(state_->mutex);
    if (state_->calls.empty()) return;  // dropped by a detach
    internal::WxMainThreadState::Call call = std::move(state_->calls.front());
    state_->calls.pop_front();
    lock.unlock();
    internal::runGuarded(kWhere, call.run);
    call.run = nullptr;  // what the call held is let go before the poster learns that it ran
    if (call.completion != nullptr) call.completion->signal();
  }

 private:
  std::shared_ptr<internal::WxMainThreadState> state_;
};

// Tied to the application object as its weak references are (wxTrackable): told when the object
// is destroyed, it detaches the adapter. Lives as long as the application object, whatever
// becomes of the adapter.
class ApplicationTracker : public wxTrackerNode {
 public:
  explicit ApplicationTracker(std::shared_ptr<internal::WxMainThreadState> state)
      : state_(std::move(state)) {}
  void OnObjectDestroy() override {
    state_->detach();
    delete this;
  }

 private:
  std::shared_ptr<internal::WxMainThreadState> state_;
};

}  // namespace

WxMainThread::WxMainThread(std::shared_ptr<internal::WxMainThreadState> state,
                           std::thread::id mainThread)
    : state_(std::move(state)), mainThread_(mainThread) {}

WxMainThread::~WxMainThread() = default;

std::shared_ptr<WxMainThread> WxMainThread::create() {
  wxAppConsole* application = wxAppConsole::GetInstance();
  if (application == nullptr || !wxThread::IsMain()) return nullptr;
  auto state = std::make_shared<internal::WxMainThreadState>();
  state->application = application;
  application->AddNode(new ApplicationTracker(state));  // owned by the application object
  return std::shared_ptr<WxMainThread>(new WxMainThread(state, std::this_thread::get_id()));
}

bool WxMainThread::isMainThread() const { return std::this_thread::get_id() == mainThread_; }

bool WxMainThread::attached() const {
  std::lock_guard lock(state_->mutex);
  return state_->application != nullptr;
}

void WxMainThread::post(std::function<void()> call, bool wait) {
  if (!call) return;
  if (wait && isMainThread()) {
    internal::runGuarded(kWhere, call);
    return;
  }
  std::optional<internal::Completion> completion;  // only a waiting post makes one
  if (wait) completion.emplace();
  {
    std::lock_guard lock(state_->mutex);
    if (state_->application != nullptr) {
      state_->calls.push_back({std::move(call), completion ? &*completion : nullptr});
      // wxWidgets' queue is not visible to the race checkers: the hand-off is ordered in the
      // language's terms (integration_internal.h), once the call is stored and before wx has
      // the event. QueueEvent() is wxWidgets' thread-safe post, the one CallAfter() makes.
      internal::publishHandoff();
      state_->application->QueueEvent(new RunOldestEvent(state_->application, state_));
      call = nullptr;
    }
  }
  if (call) {
    if (!state_->droppedLogged.exchange(true))
      internal::logLine(LogLevel::Warn, std::string(kWhere) +
                                            ": the adapter is detached; posted calls are dropped");
    call = nullptr;  // dropped here, so a waiting poster is not kept waiting
    return;
  }
  if (completion) completion->wait();
}

void WxMainThread::detach() { state_->detach(); }

bool installWxMainThread() { return internal::installAdapter(WxMainThread::create()); }

void uninstallWxMainThread() { internal::uninstallAdapter<WxMainThread>(); }

}  // namespace xr
