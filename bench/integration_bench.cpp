// bench/integration_bench.cpp: posting through the Qt, GLib and wxWidgets main-thread adapters
// beside each toolkit's own primitive, in the same run. A worker posts kBatch calls to the loop
// running on the main thread; an iteration ends when the loop has run the last one.
//   posts that do not wait: QtMainThread::post vs QMetaObject::invokeMethod(Qt::QueuedConnection),
//     GlibMainThread::post vs g_main_context_invoke(), WxMainThread::post vs CallAfter();
//   post-and-wait round trips: QtMainThread::post(wait) vs Qt::BlockingQueuedConnection,
//     GlibMainThread::post(wait) vs g_main_context_invoke() and WxMainThread::post(wait) vs
//     CallAfter(), with the worker waiting on a condition variable.
// And a worker's coalesced progress reports to the library's task watcher beside the same
// reports to the Qt watcher, which is a layer over it, both on the Qt application's loop: the
// time the reporting thread spends per report.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "post_batches.h"

#ifdef XRF_BENCH_QT
#include <QCoreApplication>
#include <QMetaObject>

#include "xrfoundation/integration/qt_main_thread.h"
#include "xrfoundation/integration/qt_task_watcher.h"
#include "xrfoundation/tasks/async_task_base.h"
#include "xrfoundation/tasks/task_watcher.h"
#endif
#ifdef XRF_BENCH_GLIB
#include <glib.h>

#include "xrfoundation/integration/glib_main_thread.h"
#endif
#ifdef XRF_BENCH_WX
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include "xrfoundation/integration/wx_main_thread.h"
#endif

namespace {

using xr::bench::kBatch;

// Touched by the posted calls, on the main thread only.
long g_counter = 0;

// Each primitive is used the cheapest way it allows: a capture-less lambda or a function pointer
// and its data.
template <class Post, class RunLoop>
void postBatches(benchmark::State& state, Post post, RunLoop runLoop) {
  xr::bench::postBatches(state, post, runLoop, g_counter);
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

// A task that is never started: the worker reports its progress directly.
class ReportedTask : public xr::AsyncTaskBase {
 public:
  explicit ReportedTask(Token token) : AsyncTaskBase(token) {}

 protected:
  void main() override {}
};

constexpr int kReports = 10000;  // progress reports per benchmark iteration

// A worker reports kReports values to the task, the last 1.0, while the application's loop
// delivers them coalesced to the watcher, whose progress callback calls reached(value). Timed:
// the worker's reports (manual time), not the wait for the last delivery, which the coalescing
// holds back for up to its interval.
template <class Watch>
void reportToWatcher(benchmark::State& state, Watch watch) {
  application();
  static const bool installed = xr::installQtMainThread();
  if (!installed) {
    state.SkipWithError("cannot install the Qt adapter");
    return;
  }
  auto task = xr::AsyncTaskBase::create<ReportedTask>();
  bool seenLast = false;
  auto watcher = watch(task, [&seenLast](double value) {
    if (value < 1.0) return;
    seenLast = true;
    QCoreApplication::quit();
  });
  long deliveries = 0;
  for (auto _ : state) {
    seenLast = false;
    std::chrono::steady_clock::duration reporting{};
    std::thread worker([&] {
      const auto start = std::chrono::steady_clock::now();
      for (int i = 1; i <= kReports; ++i)
        task->fireProgressEvent(static_cast<double>(i) / kReports);
      reporting = std::chrono::steady_clock::now() - start;
    });
    while (!seenLast) QCoreApplication::exec();
    worker.join();
    state.SetIterationTime(std::chrono::duration<double>(reporting).count());
    ++deliveries;
  }
  watcher.reset();
  task->cancel();
  state.SetItemsProcessed(state.iterations() * kReports);
  benchmark::DoNotOptimize(deliveries);
}

void BM_CoreWatcherProgress(benchmark::State& state) {
  reportToWatcher(state, [](const std::shared_ptr<ReportedTask>& task, auto reached) {
    auto watcher = std::make_unique<xr::TaskWatcher>(
        xr::TaskWatcher::Callbacks{.progressChanged = [reached](double value) { reached(value); }});
    watcher->setTask(task);
    return watcher;
  });
}
BENCHMARK(BM_CoreWatcherProgress)->UseManualTime();

void BM_QtWatcherProgress(benchmark::State& state) {
  reportToWatcher(state, [](const std::shared_ptr<ReportedTask>& task, auto reached) {
    auto watcher = std::make_unique<xr::qt::TaskWatcher>();
    QObject::connect(watcher.get(), &xr::qt::TaskWatcher::progressChanged, watcher.get(),
                     [reached](double value) { reached(value); });
    watcher->setTask(task);
    return watcher;
  });
}
BENCHMARK(BM_QtWatcherProgress)->UseManualTime();

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

#ifdef XRF_BENCH_WX

// wxWidgets set up once, with a console application object, on the benchmark's thread.
wxAppConsole& wxApplication() {
  static wxAppConsole* app = [] {
    wxAppConsole::SetInstance(new wxAppConsole);
    static char arg0[] = "integration_bench";
    static char* argv[] = {arg0, nullptr};
    int argc = 1;
    wxEntryStart(argc, argv);
    return wxAppConsole::GetInstance();
  }();
  return *app;
}

// One loop for the whole run: a worker's last post may still be waking the loop (wxWidgets
// reaches the active loop through a plain pointer) when the loop has run its call and returned.
void runWx() {
  static wxConsoleEventLoop* loop = new wxConsoleEventLoop;
  loop->Run();
}

void countWx(bool last) {
  ++g_counter;
  if (last) wxEventLoopBase::GetActive()->Exit();
}

void BM_WxAdapterPost(benchmark::State& state) {
  wxApplication();
  const bool wait = state.range(0) != 0;
  std::shared_ptr<xr::WxMainThread> adapter = xr::WxMainThread::create();
  postBatches(
      state, [&](bool last) { adapter->post([last] { countWx(last); }, wait); }, runWx);
  state.SetLabel(wait ? "wait" : "no wait");
}
BENCHMARK(BM_WxAdapterPost)->Arg(0)->Arg(1)->UseRealTime();

// Waiting, the worker blocks on a condition variable that the call sets, as the adapter's
// waiting post does.
void BM_WxCallAfter(benchmark::State& state) {
  wxAppConsole& app = wxApplication();
  const bool wait = state.range(0) != 0;
  auto post = [&](bool last) {
    if (!wait) {
      app.CallAfter([last] { countWx(last); });
      return;
    }
    std::mutex mutex;
    std::condition_variable ran;
    bool done = false;
    app.CallAfter([&, last] {
      countWx(last);
      std::lock_guard lock(mutex);
      done = true;
      ran.notify_one();
    });
    std::unique_lock lock(mutex);
    ran.wait(lock, [&] { return done; });
  };
  postBatches(state, post, runWx);
  state.SetLabel(wait ? "wait" : "no wait");
}
BENCHMARK(BM_WxCallAfter)->Arg(0)->Arg(1)->UseRealTime();

#endif  // XRF_BENCH_WX

}  // namespace
