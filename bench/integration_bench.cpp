// bench/integration_bench.cpp: posting through the Qt and GLib main-thread adapters beside each
// toolkit's own primitive, in the same run. A worker posts kBatch calls to the loop running on
// the main thread; an iteration ends when the loop has run the last one.
//   posts that do not wait: QtMainThread::post vs QMetaObject::invokeMethod(Qt::QueuedConnection),
//     GlibMainThread::post vs g_main_context_invoke();
//   post-and-wait round trips: QtMainThread::post(wait) vs Qt::BlockingQueuedConnection,
//     GlibMainThread::post(wait) vs g_main_context_invoke() with the worker waiting on a
//     condition variable.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#ifdef XRF_BENCH_QT
#include <QCoreApplication>
#include <QMetaObject>

#include "xrfoundation/integration/qt_main_thread.h"
#endif
#ifdef XRF_BENCH_GLIB
#include <glib.h>

#include "xrfoundation/integration/glib_main_thread.h"
#endif

namespace {

constexpr int kBatch = 1000;  // posts per benchmark iteration

// Touched by the posted calls, on the main thread only.
long g_counter = 0;

// Makes kBatch posts on a worker with post(last), where the last one's call ends the loop,
// while runLoop() runs the loop on this thread. Each primitive is used the cheapest way it
// allows: a capture-less lambda or a function pointer and its data.
template <class Post, class RunLoop>
void postBatches(benchmark::State& state, Post post, RunLoop runLoop) {
  for (auto _ : state) {
    std::thread worker([&] {
      for (int i = 1; i <= kBatch; ++i) post(i == kBatch);
    });
    runLoop();
    worker.join();
  }
  benchmark::DoNotOptimize(g_counter);
  state.SetItemsProcessed(state.iterations() * kBatch);
}

#ifdef XRF_BENCH_QT

QCoreApplication& application() {
  static int argc = 1;
  static char arg0[] = "integration_bench";
  static char* argv[] = {arg0, nullptr};
  static auto* app = new QCoreApplication(argc, argv);
  return *app;
}

void runQt() { QCoreApplication::exec(); }

void countQt(bool last) {
  ++g_counter;
  if (last) QCoreApplication::quit();
}

void BM_QtAdapterPost(benchmark::State& state) {
  application();
  const bool wait = state.range(0) != 0;
  std::shared_ptr<xr::QtMainThread> adapter = xr::QtMainThread::create();
  postBatches(
      state, [&](bool last) { adapter->post([last] { countQt(last); }, wait); }, runQt);
  state.SetLabel(wait ? "wait" : "no wait");
}
BENCHMARK(BM_QtAdapterPost)->Arg(0)->Arg(1)->UseRealTime();

void BM_QtInvokeMethod(benchmark::State& state) {
  QObject* receiver = &application();
  const bool wait = state.range(0) != 0;
  const auto type = wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection;
  postBatches(
      state,
      [&](bool last) {
        QMetaObject::invokeMethod(
            receiver, [last] { countQt(last); }, type);
      },
      runQt);
  state.SetLabel(wait ? "BlockingQueuedConnection" : "QueuedConnection");
}
BENCHMARK(BM_QtInvokeMethod)->Arg(0)->Arg(1)->UseRealTime();

#endif  // XRF_BENCH_QT

#ifdef XRF_BENCH_GLIB

// A context of its own, so that nothing else (Qt's dispatcher, in a build with both) shares it.
struct GlibBench {
  GMainContext* context = g_main_context_new();
  GMainLoop* loop = g_main_loop_new(context, FALSE);
  ~GlibBench() {
    g_main_loop_unref(loop);
    g_main_context_unref(context);
  }
  void run() { g_main_loop_run(loop); }
  void quit() { g_main_loop_quit(loop); }
};

GMainLoop* g_glibLoop = nullptr;  // the loop a batch's last call quits

void countGlib(bool last) {
  ++g_counter;
  if (last) g_main_loop_quit(g_glibLoop);
}

void BM_GlibAdapterPost(benchmark::State& state) {
  GlibBench glib;
  g_glibLoop = glib.loop;
  const bool wait = state.range(0) != 0;
  std::shared_ptr<xr::GlibMainThread> adapter = xr::GlibMainThread::create(glib.context);
  postBatches(
      state, [&](bool last) { adapter->post([last] { countGlib(last); }, wait); },
      [&] { glib.run(); });
  state.SetLabel(wait ? "wait" : "no wait");
}
BENCHMARK(BM_GlibAdapterPost)->Arg(0)->Arg(1)->UseRealTime();

gboolean countGlibSource(gpointer last) {
  countGlib(last != nullptr);
  return G_SOURCE_REMOVE;
}

// Waiting, the worker blocks on a condition variable that the call sets, as the adapter's
// waiting post does.
struct Invoked {
  bool last = false;
  std::mutex mutex;
  std::condition_variable ran;
  bool done = false;
};

gboolean countGlibAndSignal(gpointer data) {
  auto* invoked = static_cast<Invoked*>(data);
  countGlib(invoked->last);
  std::lock_guard lock(invoked->mutex);
  invoked->done = true;
  invoked->ran.notify_one();
  return G_SOURCE_REMOVE;
}

void BM_GlibMainContextInvoke(benchmark::State& state) {
  GlibBench glib;
  g_glibLoop = glib.loop;
  const bool wait = state.range(0) != 0;
  static char lastMark = 0;
  auto post = [&](bool last) {
    if (!wait) {
      g_main_context_invoke(glib.context, countGlibSource, last ? &lastMark : nullptr);
      return;
    }
    Invoked invoked;
    invoked.last = last;
    g_main_context_invoke(glib.context, countGlibAndSignal, &invoked);
    std::unique_lock lock(invoked.mutex);
    invoked.ran.wait(lock, [&] { return invoked.done; });
  };
  postBatches(state, post, [&] { glib.run(); });
  state.SetLabel(wait ? "wait" : "no wait");
}
BENCHMARK(BM_GlibMainContextInvoke)->Arg(0)->Arg(1)->UseRealTime();

#endif  // XRF_BENCH_GLIB

}  // namespace
