#include "xrfoundation/integration/glib_main_thread.h"

#include <memory>
#include <utility>

#include "xrfoundation/integration/integration_internal.h"
#include "xrfoundation/platform/main_loop.h"

namespace xr {
namespace {

constexpr char kWhere[] = "GlibMainThread";

// One posted call, the data of its idle source. GLib frees it through the source's destroy
// notify: after dispatch, or unrun when the context goes first; either way a waiting poster is
// released.
struct PostedCall {
  std::function<void()> call;
  std::shared_ptr<internal::Completion> completion;

  ~PostedCall() { release(); }
  // What the call held is let go before the poster learns that it has run.
  void release() {
    call = nullptr;
    if (completion != nullptr) std::exchange(completion, nullptr)->signal();
  }
};

gboolean dispatchPostedCall(gpointer data) {
  internal::acceptHandoff();
  auto* posted = static_cast<PostedCall*>(data);
  internal::runGuarded(kWhere, posted->call);
  posted->release();
  return G_SOURCE_REMOVE;
}

void freePostedCall(gpointer data) { delete static_cast<PostedCall*>(data); }

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

void GlibMainThread::post(std::function<void()> call, bool wait) {
  if (!call) return;
  if (wait && isMainThread()) {
    internal::runGuarded(kWhere, call);
    return;
  }
  auto completion = wait ? std::make_shared<internal::Completion>() : nullptr;
  auto* posted = new PostedCall{std::move(call), completion};
  // The same source that g_main_context_invoke() makes when it cannot run the call at once.
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, dispatchPostedCall, posted, freePostedCall);
  internal::publishHandoff();
  g_source_attach(source, context_);
  g_source_unref(source);
  if (completion != nullptr) completion->wait();
}

bool installGlibMainThread(GMainContext* context) {
  std::shared_ptr<GlibMainThread> adapter = GlibMainThread::create(context);
  if (adapter == nullptr) return false;
  // Calls posted to the library's own loop before now would wait there forever; queued ahead
  // of anything posted through the adapter, they run first on the context.
  adapter->post([] { mainLoop().processPending(); }, false);
  setMainThread(adapter);
  return true;
}

}  // namespace xr
