#include "xrfoundation/integration/win32_main_thread.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "xrfoundation/integration/integration_internal.h"

namespace xr {
namespace {

constexpr char kWhere[] = "Win32MainThread";
constexpr wchar_t kWindowClass[] = L"XRFoundation.MainThreadWindow";

// The message that tells the adapter's window to run the queued calls. A registered message
// cannot clash with the application's own WM_APP range.
UINT callMessage() {
  static const UINT message = RegisterWindowMessageW(L"XRFoundation.MainThreadCalls");
  return message;
}

// One queued call, with the waiting poster's completion (on its stack), or null.
struct PendingCall {
  std::function<void()> call;
  internal::Completion* completion = nullptr;

  // What the call held is let go before the poster learns that it has run.
  void release() {
    call = nullptr;
    if (completion != nullptr) std::exchange(completion, nullptr)->signal();
  }
};

}  // namespace

namespace internal {

struct Win32MainThreadState {
  explicit Win32MainThreadState(std::thread::id thread) : mainThread(thread) {}

  const std::thread::id mainThread;
  HWND window = nullptr;  // set once, before the state is shared with another thread
  std::mutex mutex;
  std::deque<PendingCall> calls;  // guarded by mutex
  bool attached = true;           // guarded by mutex
  // A call message is on its way to the window and has not been received yet. While calls
  // wait, one always is, so a post needs to send one only when none is. Guarded by mutex.
  bool messagePending = false;
  std::atomic<bool> droppedLogged{false};
  std::atomic<bool> postFailureLogged{false};
};

}  // namespace internal

namespace {

using State = internal::Win32MainThreadState;

// Sends the call message, which the caller has marked pending under the lock. PostMessageW
// fails when the window is gone (detached meanwhile, or the thread ended without detaching) or
// the thread's message queue is full; the calls then wait for the next post's message.
void sendCallMessage(State& state) {
  if (PostMessageW(state.window, callMessage(), 0, 0)) return;
  const DWORD error = GetLastError();
  bool attached;
  {
    std::lock_guard lock(state.mutex);
    state.messagePending = false;
    attached = state.attached;
  }
  if (attached && !state.postFailureLogged.exchange(true))
    internal::logLine(LogLevel::Warn, std::string(kWhere) +
                                          ": the main thread's window takes no messages (error " +
                                          std::to_string(error) + "); posted calls wait");
}

// Runs the calls queued when the message came, one at a time. Calls posted meanwhile wait for
// the next message, so that a stream of posts does not starve the loop's input and painting.
// Before each call, the rest are given a message of their own: should the call run a modal
// loop, that loop runs them.
void runQueuedCalls(State& state) {
  std::unique_lock lock(state.mutex);
  state.messagePending = false;
  for (std::size_t budget = state.calls.size(); budget > 0 && !state.calls.empty(); --budget) {
    PendingCall next = std::move(state.calls.front());
    state.calls.pop_front();
    const bool sendMessage = !state.calls.empty() && !state.messagePending;
    if (sendMessage) state.messagePending = true;
    lock.unlock();
    if (sendMessage) sendCallMessage(state);
    internal::runGuarded(kWhere, next.call);
    next.release();
    lock.lock();
  }
}

// The window's user data holds a reference on the adapter's state until WM_NCDESTROY, so that a
// message arriving after the adapter itself is gone still finds the calls.
LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* held = reinterpret_cast<std::shared_ptr<State>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (held != nullptr && message == callMessage()) {
    const std::shared_ptr<State> state = *held;  // a call may detach, destroying the window
    runQueuedCalls(*state);
    return 0;
  }
  if (held != nullptr && message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete held;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The module that holds this code: the window class belongs to it.
HINSTANCE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&windowProcedure), &module);
  return module;
}

bool registerWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = thisModule();
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

}  // namespace

Win32MainThread::Win32MainThread(std::shared_ptr<internal::Win32MainThreadState> state)
    : state_(std::move(state)) {}

Win32MainThread::~Win32MainThread() = default;

std::shared_ptr<Win32MainThread> Win32MainThread::create() {
  if (!registerWindowClass() || callMessage() == 0) return nullptr;
  HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                thisModule(), nullptr);
  if (window == nullptr) return nullptr;
  auto state = std::make_shared<State>(std::this_thread::get_id());
  state->window = window;
  SetWindowLongPtrW(window, GWLP_USERDATA,
                    reinterpret_cast<LONG_PTR>(new std::shared_ptr<State>(state)));
  return std::shared_ptr<Win32MainThread>(new Win32MainThread(std::move(state)));
}

bool Win32MainThread::isMainThread() const {
  return std::this_thread::get_id() == state_->mainThread;
}

bool Win32MainThread::attached() const {
  std::lock_guard lock(state_->mutex);
  return state_->attached;
}

void Win32MainThread::post(std::function<void()> call, bool wait) {
  if (internal::postDoneAtOnce(*this, kWhere, call, wait)) return;
  std::optional<internal::Completion> completion;  // only a waiting post makes one
  if (wait) completion.emplace();
  PendingCall pending{std::move(call), completion ? &*completion : nullptr};
  bool queued = false, sendMessage = false;
  {
    std::lock_guard lock(state_->mutex);
    if (state_->attached) {
      state_->calls.push_back(std::move(pending));
      queued = true;
      sendMessage = !state_->messagePending;
      state_->messagePending = true;
    }
  }
  if (sendMessage) sendCallMessage(*state_);
  if (!queued) {
    if (!state_->droppedLogged.exchange(true))
      internal::logLine(LogLevel::Warn, std::string(kWhere) +
                                            ": the adapter is detached; posted calls are dropped");
    pending.release();  // releases a waiting poster: this very thread, so it does not block below
  }
  if (completion) completion->wait();
}

void Win32MainThread::detach() {
  std::deque<PendingCall> dropped;
  {
    std::lock_guard lock(state_->mutex);
    if (!state_->attached) return;
    state_->attached = false;
    dropped.swap(state_->calls);
  }
  for (PendingCall& pending : dropped) pending.release();
  // Only the window's own thread may destroy it; another asks the window to close itself.
  if (isMainThread())
    DestroyWindow(state_->window);
  else
    PostMessageW(state_->window, WM_CLOSE, 0, 0);
}

bool installWin32MainThread() { return internal::installAdapter(Win32MainThread::create()); }

void uninstallWin32MainThread() { internal::uninstallAdapter<Win32MainThread>(); }

}  // namespace xr
