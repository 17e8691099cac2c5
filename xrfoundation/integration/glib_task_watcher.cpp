#include "xrfoundation/integration/glib_task_watcher.h"

#include <functional>
#include <string>
#include <utility>

#include "xrfoundation/integration/integration_internal.h"

namespace xr::glib {

namespace {

gboolean runQueued(gpointer call) {
  internal::acceptHandoff();
  (*static_cast<std::function<void()>*>(call))();
  return G_SOURCE_REMOVE;
}

void freeQueued(gpointer call) { delete static_cast<std::function<void()>*>(call); }

// A context as the library's watcher sees it: its callbacks run on the thread that owns the
// context, and deliveries made elsewhere are attached to it, as g_main_context_invoke() does
// from another thread. Keeps a reference on the context for the watcher's life.
class ContextThread : public IMainThread {
 public:
  explicit ContextThread(GMainContext* context)
      : context_(context != nullptr ? g_main_context_ref(context)
                                    : g_main_context_ref_thread_default()) {}
  ~ContextThread() override { g_main_context_unref(context_); }
  ContextThread(const ContextThread&) = delete;
  ContextThread& operator=(const ContextThread&) = delete;

  bool isMainThread() const override { return g_main_context_is_owner(context_); }
  // Never waits: the core watcher only queues.
  void post(std::function<void()> call, bool) override {
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_callback(source, runQueued, new std::function<void()>(std::move(call)),
                          freeQueued);
    // GLib's queue is not visible to the race checkers: the hand-off is ordered in the
    // language's terms (integration_internal.h), once the call is made and before GLib has it.
    internal::publishHandoff();
    g_source_attach(source, context_);
    g_source_unref(source);
  }

 private:
  GMainContext* const context_;
};

// Holds the task weakly: the cancellable may outlive both the watcher and the task.
struct CancelBridge {
  std::weak_ptr<IAsyncTask> task;
};

void cancelTask(GCancellable*, gpointer bridge) {
  if (auto task = static_cast<CancelBridge*>(bridge)->task.lock()) task->cancel();
}

void freeBridge(gpointer bridge) { delete static_cast<CancelBridge*>(bridge); }

}  // namespace

TaskWatcher::TaskWatcher(std::shared_ptr<IAsyncTask> task, const Callbacks& callbacks,
                         gpointer userData, GDestroyNotify destroyUserData, GMainContext* context)
    : callbacks_(callbacks),
      userData_(userData),
      destroyUserData_(destroyUserData),
      core_({
                .started =
                    [this] {
                      if (callbacks_.started != nullptr) callbacks_.started(userData_);
                    },
                .progressChanged =
                    [this](double progress) {
                      if (callbacks_.progressChanged != nullptr)
                        callbacks_.progressChanged(progress, userData_);
                    },
                .finished = [this](const TaskOutcome& outcome) { deliverFinished(outcome); },
            },
            std::make_shared<ContextThread>(context)) {
  core_.setTask(std::move(task));
}

TaskWatcher::~TaskWatcher() {
  stopDeliveries();
  disconnectCancellable();
}

void TaskWatcher::tieTo(GObject* object) {
  if (stopped_ || object == nullptr) return;
  if (tiedTo_ != nullptr) g_object_weak_unref(tiedTo_, objectFinalized, this);
  tiedTo_ = object;
  g_object_weak_ref(tiedTo_, objectFinalized, this);
}

void TaskWatcher::setCancellable(GCancellable* cancellable) {
  disconnectCancellable();
  if (cancellable == nullptr || core_.task() == nullptr) return;
  cancellable_ = G_CANCELLABLE(g_object_ref(cancellable));
  // Runs cancelTask() at once, and answers 0, when the cancellable is cancelled already.
  cancelledHandler_ = g_cancellable_connect(cancellable_, G_CALLBACK(cancelTask),
                                            new CancelBridge{core_.task()}, freeBridge);
}

void TaskWatcher::disconnectCancellable() {
  if (cancellable_ == nullptr) return;
  g_cancellable_disconnect(cancellable_, cancelledHandler_);
  g_object_unref(std::exchange(cancellable_, nullptr));
  cancelledHandler_ = 0;
}

void TaskWatcher::objectFinalized(gpointer watcher, GObject*) {
  auto* self = static_cast<TaskWatcher*>(watcher);
  self->tiedTo_ = nullptr;  // finalizing: its weak references are going anyway
  self->stopDeliveries();
}

void TaskWatcher::stopDeliveries() {
  if (stopped_) return;
  stopped_ = true;
  core_.stop();
  if (tiedTo_ != nullptr)
    g_object_weak_unref(std::exchange(tiedTo_, nullptr), objectFinalized, this);
  if (destroyUserData_ != nullptr) std::exchange(destroyUserData_, nullptr)(userData_);
}

// Nothing follows finished (the core watcher has stopped), and the user data is let go after it
// from copies: the callback may destroy the watcher.
void TaskWatcher::deliverFinished(const TaskOutcome& outcome) {
  const auto finished = callbacks_.finished;
  gpointer userData = userData_;
  const GDestroyNotify destroy = std::exchange(destroyUserData_, nullptr);
  stopDeliveries();
  if (finished != nullptr)
    finished(outcome.word.c_str(), outcome.code, outcome.description.c_str(), userData);
  if (destroy != nullptr) destroy(userData);
}

}  // namespace xr::glib
