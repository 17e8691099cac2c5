#include "xrfoundation/integration/wx_main_thread.h"

#include <wx/app.h>
#include <wx/event.h>
#include <wx/thread.h>
#include <wx/tracker.h>

#include <atomic>
#include <cstddef>
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

// What the adapter shares with the event it queued and with the application's tracker node. The
// calls themselves wait here, in posting order, so that detaching lets go of every waiting call
// at once, on the detaching thread, whatever wxWidgets still holds. One event at a time is on
// its way for them: it runs the calls waiting when it runs, one after another, and while more
// wait it has queued the next event before a call runs (a modal loop that the call starts then
// serves the rest). So a busy poster allocates no event and wakes no loop for a call that an
// event on its way will reach.
struct WxMainThreadState {
  struct Call {
    std::function<void()> run;
    internal::Completion* completion;  // the waiting poster's, on its stack; or null
  };

  std::mutex mutex;
  wxAppConsole* application = nullptr;  // null once detached; guarded by mutex
  std::deque<Call> calls;               // guarded by mutex
  // Set under mutex; cleared without it by an event that wxWidgets deletes unrun, which may
  // happen inside QueueEvent() under mutex (no application object at that moment).
  std::atomic<bool> eventQueued{false};
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

void queueRunEvent(const std::shared_ptr<internal::WxMainThreadState>& state);

// The event that CallAfter() queues, executed by wxWidgets when the application object serves
// its pending events: runs the waiting calls. wxWidgets deletes it after delivery, or unrun
// with the application object.
class RunCallsEvent : public wxAsyncMethodCallEvent {
 public:
  RunCallsEvent(wxAppConsole* application, std::shared_ptr<internal::WxMainThreadState> state)
      : wxAsyncMethodCallEvent(application), state_(std::move(state)) {}
  // Queued events are never cloned; a copy would run a call as the original does.
  RunCallsEvent(const RunCallsEvent&) = default;
  RunCallsEvent& operator=(const RunCallsEvent&) = delete;
  // Deleted unrun (the application's pending events deleted), it is no longer on its way: the
  // next post queues another.
  ~RunCallsEvent() override {
    internal::acceptHandoff();  // made on the posting thread, deleted on the application's
    if (!executed_) state_->eventQueued = false;
  }

  wxEvent* Clone() const override { return new RunCallsEvent(*this); }
  void Execute() override {
    internal::acceptHandoff();  // before the first look at the event or a call a worker made
    executed_ = true;
    std::unique_lock lock(state_->mutex);
    state_->eventQueued = false;
    // The calls waiting now, and no more: later ones wait behind the application's other
    // events, for the next event.
    for (std::size_t waiting = state_->calls.size(); waiting > 0; --waiting) {
      if (state_->calls.empty()) break;  // dropped by a detach, or run by a nested loop
      internal::WxMainThreadState::Call call = std::move(state_->calls.front());
      state_->calls.pop_front();
      if (!state_->calls.empty() && !state_->eventQueued && state_->application != nullptr) {
        state_->eventQueued = true;
        queueRunEvent(state_);
      }
      lock.unlock();
      internal::runGuarded(kWhere, call.run);
      call.run = nullptr;  // what the call held is let go before the poster learns that it ran
      if (call.completion != nullptr) call.completion->signal();
      lock.lock();
    }
  }

 private:
  std::shared_ptr<internal::WxMainThreadState> state_;
  bool executed_ = false;
};

// Under the state's mutex, while the application object exists. QueueEvent() is wxWidgets'
// thread-safe post, the one CallAfter() makes; it wakes the loop.
void queueRunEvent(const std::shared_ptr<internal::WxMainThreadState>& state) {
  // wxWidgets' queue is not visible to the race checkers: the hand-off is ordered in the
  // language's terms (integration_internal.h), once the call is stored and before wx has the
  // event.
  auto* event = new RunCallsEvent(state->application, state);
  internal::publishHandoff();  // after the event is made: the loop's thread reads it too
  state->application->QueueEvent(event);
}

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
  if (internal::postDoneAtOnce(*this, kWhere, call, wait)) return;
  std::optional<internal::Completion> completion;  // only a waiting post makes one
  if (wait) completion.emplace();
  {
    std::lock_guard lock(state_->mutex);
    if (state_->application != nullptr) {
      state_->calls.push_back({std::move(call), completion ? &*completion : nullptr});
      if (!state_->eventQueued.exchange(true)) queueRunEvent(state_);
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
