#include "xrfoundation/integration/glib_task_watcher.h"

#include <functional>
#include <mutex>
#include <string>
#include <utility>

#include "xrfoundation/integration/integration_internal.h"
#include "xrfoundation/integration/task_watcher_internal.h"

namespace xr::glib {

namespace {

gboolean runQueued(gpointer call) {
  internal::acceptHandoff();
  (*static_cast<std::function<void()>*>(call))();
  return G_SOURCE_REMOVE;
}

void freeQueued(gpointer call) { delete static_cast<std::function<void()>*>(call); }

// Runs `call` on the context's thread, as g_main_context_invoke() does from another thread.
void queueOn(GMainContext* context, std::function<void()> call) {
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, runQueued, new std::function<void()>(std::move(call)), freeQueued);
  // GLib's queue is not visible to the race checkers: the hand-off is ordered in the
  // language's terms (integration_internal.h), once the call is made and before GLib has it.
  internal::publishHandoff();
  g_source_attach(source, context);
  g_source_unref(source);
}

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
    : task_(std::move(task)),
      callbacks_(callbacks),
      userData_(userData),
      destroyUserData_(destroyUserData),
      context_(context != nullptr ? g_main_context_ref(context)
                                  : g_main_context_ref_thread_default()),
      link_(std::make_shared<internal::WatcherLink<TaskWatcher>>()) {
  link_->watcher = this;
  observer_ = std::make_shared<internal::WatcherObserver<TaskWatcher>>(link_, task_.get());
  if (task_ != nullptr) task_->addDelegateCoalesced(observer_);
}

TaskWatcher::~TaskWatcher() {
  stopDeliveries();
  disconnectCancellable();
  g_main_context_unref(context_);
}

void TaskWatcher::tieTo(GObject* object) {
  if (link_ == nullptr || object == nullptr) return;
  if (tiedTo_ != nullptr) g_object_weak_unref(tiedTo_, objectFinalized, this);
  tiedTo_ = object;
  g_object_weak_ref(tiedTo_, objectFinalized, this);
}

void TaskWatcher::setCancellable(GCancellable* cancellable) {
  disconnectCancellable();
  if (cancellable == nullptr || task_ == nullptr) return;
  cancellable_ = G_CANCELLABLE(g_object_ref(cancellable));
  // Runs cancelTask() at once, and answers 0, when the cancellable is cancelled already.
  cancelledHandler_ = g_cancellable_connect(cancellable_, G_CALLBACK(cancelTask),
                                            new CancelBridge{task_}, freeBridge);
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
  if (link_ == nullptr) return;
  {
    std::lock_guard lock(link_->mutex);
    link_->watcher = nullptr;
  }
  link_.reset();
  if (task_ != nullptr) task_->removeDelegate(observer_.get());
  observer_.reset();
  if (tiedTo_ != nullptr)
    g_object_weak_unref(std::exchange(tiedTo_, nullptr), objectFinalized, this);
  if (destroyUserData_ != nullptr) std::exchange(destroyUserData_, nullptr)(userData_);
}

void TaskWatcher::deliverStarted() {
  if (!finished_ && callbacks_.started != nullptr) callbacks_.started(userData_);
}

void TaskWatcher::deliverProgress(double progress) {
  if (!finished_ && callbacks_.progressChanged != nullptr)
    callbacks_.progressChanged(progress, userData_);
}

// Nothing follows finished, so deliveries stop before the callback, and the user data is let
// go after it from copies: the callback may destroy the watcher.
void TaskWatcher::deliverFinished(const std::string& outcome, int code,
                                  const std::string& description) {
  if (finished_) return;
  finished_ = true;
  const auto finished = callbacks_.finished;
  gpointer userData = userData_;
  const GDestroyNotify destroy = std::exchange(destroyUserData_, nullptr);
  stopDeliveries();
  if (finished != nullptr) finished(outcome.c_str(), code, description.c_str(), userData);
  if (destroy != nullptr) destroy(userData);
}

bool TaskWatcher::onOwnThread() const { return g_main_context_is_owner(context_); }

void TaskWatcher::queue(std::function<void()> call) { queueOn(context_, std::move(call)); }

}  // namespace xr::glib
