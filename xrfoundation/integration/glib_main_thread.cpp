#include "xrfoundation/integration/glib_main_thread.h"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "xrfoundation/integration/integration_internal.h"

namespace xr {
namespace {

constexpr char kWhere[] = "GlibMainThread";

// One posted call: a source of its own kind, ready at once, that carries the call in the same
// allocation. GLib finalizes it after dispatch, or unrun when it is destroyed first (the context
// freed, the adapter detached); either way a waiting poster is released.
// Plain data around the call's storage, so that the source and the struct share one address.
struct PostedSource {
  using Call = std::function<void()>;
  GSource source;  // first: GLib allocates and frees the whole struct
  alignas(Call) unsigned char callStorage[sizeof(Call)];
  internal::Completion* completion;  // the waiting poster's, on its stack; or null

  static PostedSource& of(GSource* source) { return *reinterpret_cast<PostedSource*>(source); }
  Call& call() { return *std::launder(reinterpret_cast<Call*>(callStorage)); }
  // What the call held is let go before the poster learns that it has run.
  void release() {
    call() = nullptr;
    if (completion != nullptr) std::exchange(completion, nullptr)->signal();
  }
};

gboolean preparePosted(GSource*, gint* timeout) {
  *timeout = 0;
  return TRUE;
}
gboolean checkPosted(GSource*) { return TRUE; }

gboolean dispatchPosted(GSource* source, GSourceFunc, gpointer) {
  internal::acceptHandoff();
  PostedSource& posted = PostedSource::of(source);
  internal::runGuarded(kWhere, posted.call());
  posted.release();
  internal::publishHandoff();  // for finalizePosted(), which may run on the poster's thread
  return G_SOURCE_REMOVE;
}

// Runs where the last reference goes: on the loop's thread, on the thread that destroys the
// source, or on the poster's when the loop dispatched it before the poster let go of it.
void finalizePosted(GSource* source) {
  internal::acceptHandoff();
  PostedSource& posted = PostedSource::of(source);
  posted.release();
  posted.call().~function();
}

GSourceFuncs g_postedFuncs = {preparePosted,  checkPosted, dispatchPosted,
                              finalizePosted, nullptr,     nullptr};

// A posted source's callback data is its adapter, compared by address and never dereferenced,
// so that detach() finds the adapter's own sources; no reference is counted.
void noRef(gpointer) {}
void adapterOf(gpointer adapter, GSource*, GSourceFunc* function, gpointer* data) {
  *function = nullptr;
  *data = adapter;
}
GSourceCallbackFuncs g_adapterCallbackFuncs = {noRef, noRef, adapterOf};

}  // namespace

GlibMainThread::GlibMainThread(GMainContext* context, std::thread::id mainThread)
    : context_(g_main_context_ref(context)), mainThread_(mainThread) {}

GlibMainThread::~GlibMainThread() { g_main_context_unref(context_); }

std::shared_ptr<GlibMainThread> GlibMainThread::create(GMainContext* context) {
  if (context == nullptr) context = g_main_context_default();
  // Acquiring succeeds when nobody owns the context or this thread does already: the loop is
  // not running on another thread right now.
  if (!g_main_context_acquire(context)) return nullptr;
  g_main_context_release(context);
  return std::shared_ptr<GlibMainThread>(new GlibMainThread(context, std::this_thread::get_id()));
}

bool GlibMainThread::isMainThread() const { return std::this_thread::get_id() == mainThread_; }

bool GlibMainThread::attached() const {
  std::lock_guard lock(mutex_);
  return attached_;
}

void GlibMainThread::post(std::function<void()> call, bool wait) {
  if (internal::postDoneAtOnce(*this, kWhere, call, wait)) return;
  std::optional<internal::Completion> completion;  // only a waiting post makes one
  if (wait) completion.emplace();
  GSource* source = g_source_new(&g_postedFuncs, sizeof(PostedSource));
  PostedSource& posted = PostedSource::of(source);
  new (posted.callStorage) PostedSource::Call(std::move(call));
  posted.completion = completion ? &*completion : nullptr;
  g_source_set_priority(source, G_PRIORITY_DEFAULT);  // as g_main_context_invoke()'s sources
  g_source_set_callback_indirect(source, this, &g_adapterCallbackFuncs);
  bool dropped = false;
  {
    std::lock_guard lock(mutex_);  // detach() then finds every source attached before it
    if (attached_) {
      internal::publishHandoff();
      g_source_attach(source, context_);
    } else {
      dropped = true;
    }
  }
  if (dropped && !droppedLogged_.exchange(true))
    internal::logLine(LogLevel::Warn,
                      std::string(kWhere) + ": the adapter is detached; posted calls are dropped");
  g_source_unref(source);  // unattached, this finalizes it: the call is let go, a waiter released
  if (completion) completion->wait();
}

void GlibMainThread::detach() {
  {
    std::lock_guard lock(mutex_);
    attached_ = false;
  }
  // Destroying a source that is not being dispatched finalizes it at once, releasing its call.
  while (GSource* source =
             g_main_context_find_source_by_funcs_user_data(context_, &g_postedFuncs, this))
    g_source_destroy(source);
}

bool installGlibMainThread(GMainContext* context) {
  return internal::installAdapter(GlibMainThread::create(context));
}

void uninstallGlibMainThread() { internal::uninstallAdapter<GlibMainThread>(); }

}  // namespace xr
