// bench/tasks_bench.cpp: the task lifecycle (construct, start, run on the queue, finished
// delivered on the main loop, out of the registry) and the two composites, each beside the
// plain way of doing the same in the same run: a mutex + condition variable + deque thread
// pool whose jobs post their completion to a plain main loop. The library's console lines
// are switched off, as an application that logs at warning level would have them.
//
// The import pair: a task that works through 50,000 items of about 3 microseconds each (the
// cost of one contact of a CSV import), reporting no progress, or reporting after every item
// to a coalescing main-thread observer. The second may cost at most 10% more. Beside them, the
// cost of one such report alone.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "plain_loop.h"
#include "xrfoundation/platform/log.h"
#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/async_task_base.h"
#include "xrfoundation/tasks/multi_concurrent_task.h"
#include "xrfoundation/tasks/multi_task.h"
#include "xrfoundation/tasks/value_task.h"

namespace {

constexpr int kBatch = 1000;

class TrivialTask : public xr::AsyncTaskBase {
 public:
  explicit TrivialTask(Token token) : AsyncTaskBase(token) {}

 protected:
  void main() override { setTaskResult(xr::TaskResult::taskSuccessed()); }
};

// Counts finished events on the main thread, as an application's observer would.
class FinishCounter : public xr::ITaskFinishedDelegate {
 public:
  void taskFinished(const std::shared_ptr<xr::IAsyncTask>&,
                    const std::shared_ptr<xr::TaskResult>&) override {
    ++finished;
  }
  int finished = 0;  // main thread only
};

void quiet() { xr::setLogLevel(xr::LogLevel::Warn); }

void waitForFinished(FinishCounter& counter, int expected) {
  xr::mainLoop().runUntil([&] { return counter.finished >= expected; }, 120.0);
}

void BM_TaskLifecycle(benchmark::State& state) {
  quiet();
  xr::OperationQueue queue;
  auto counter = std::make_shared<FinishCounter>();
  for (auto _ : state) {
    counter->finished = 0;
    for (int i = 0; i < kBatch; ++i) {
      auto task = xr::AsyncTaskBase::create<TrivialTask>();
      task->addDelegate(counter);
      queue.addOperation(task);
      task->startTask();
    }
    waitForFinished(*counter, kBatch);
  }
  xr::mainLoop().processPending();
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_TaskLifecycle)->UseRealTime();

// A plain pool: workers take closures from one deque.
class PlainPool {
 public:
  explicit PlainPool(int workers) {
    for (int i = 0; i < workers; ++i) threads_.emplace_back([this] { work(); });
  }
  ~PlainPool() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (auto& thread : threads_) thread.join();
  }
  void submit(std::function<void()> job) {
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
  }

 private:
  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      auto job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job();
      lock.lock();
    }
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

void BM_PlainPoolLifecycle(benchmark::State& state) {
  PlainPool pool(2);
  xr::bench::PlainLoop loop;
  for (auto _ : state) {
    int finished = 0;
    for (int i = 0; i < kBatch; ++i)
      pool.submit([&loop, &finished] { loop.post([&finished] { ++finished; }, false); });
    loop.runUntil([&] { return finished >= kBatch; });
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PlainPoolLifecycle)->UseRealTime();

template <class Composite>
void runComposite(benchmark::State& state) {
  quiet();
  xr::OperationQueue queue;
  auto counter = std::make_shared<FinishCounter>();
  for (auto _ : state) {
    counter->finished = 0;
    auto composite = xr::AsyncTaskBase::create<Composite>();
    for (int i = 0; i < kBatch; ++i) {
      auto task = xr::AsyncTaskBase::create<TrivialTask>();
      composite->appendTailTask(task);
      queue.addOperation(task);
    }
    composite->addDelegate(counter);
    queue.addOperation(composite);
    composite->startTask();
    waitForFinished(*counter, 1);
  }
  xr::mainLoop().processPending();
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_SequentialComposite(benchmark::State& state) { runComposite<xr::MultiTask>(state); }
BENCHMARK(BM_SequentialComposite)->UseRealTime();

void BM_ConcurrentComposite(benchmark::State& state) {
  runComposite<xr::MultiConcurrentTask>(state);
}
BENCHMARK(BM_ConcurrentComposite)->UseRealTime();

constexpr int kImportItems = 50000;
constexpr std::size_t kItemBytes = 3072;  // hashed per item: about 3 microseconds

// One item's work: FNV-1a over the item's bytes.
std::uint64_t workOnItem(const std::vector<unsigned char>& bytes, int item) {
  std::uint64_t hash = 14695981039346656037ull ^ static_cast<std::uint64_t>(item);
  for (unsigned char byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
  return hash;
}

// A progress bar on the main thread: counts what reaches it.
class ProgressBar : public xr::ITaskProgressDelegate, public xr::ITaskFinishedDelegate {
 public:
  void taskProgressChanged(const std::shared_ptr<xr::IAsyncTask>&, double value) override {
    ++updates;
    shown = value;
  }
  void taskFinished(const std::shared_ptr<xr::IAsyncTask>&,
                    const std::shared_ptr<xr::TaskResult>&) override {
    finished = true;
  }
  int updates = 0;  // main thread only
  double shown = 0;
  bool finished = false;
};

// loopRunsMeanwhile false: the main loop delivers only after the work, which isolates the
// reporting cost from the main thread's wake-ups.
void runImport(benchmark::State& state, bool reportEveryItem, bool loopRunsMeanwhile = true) {
  quiet();
  xr::OperationQueue queue;
  const std::vector<unsigned char> bytes(kItemBytes, 0x5a);
  int updates = 0;
  for (auto _ : state) {
    auto task = xr::AsyncTaskBase::create<xr::ValueTask<std::uint64_t>>(
        [&](xr::ValueTask<std::uint64_t>& self) -> std::optional<std::uint64_t> {
          std::uint64_t sum = 0;
          for (int i = 0; i < kImportItems; ++i) {
            sum += workOnItem(bytes, i);
            if (reportEveryItem) self.fireProgressEvent(static_cast<double>(i + 1) / kImportItems);
          }
          return sum;
        });
    auto bar = std::make_shared<ProgressBar>();
    task->addDelegateCoalesced(bar);
    task->startOnQueue(queue);
    if (!loopRunsMeanwhile) task->waitUntilFinished();
    xr::mainLoop().runUntil([&] { return bar->finished; }, 120.0);
    benchmark::DoNotOptimize(task->value());
    updates += bar->updates;
    if (reportEveryItem && bar->shown != 1.0) state.SkipWithError("the last value never came");
  }
  xr::mainLoop().processPending();
  state.counters["updates/run"] = benchmark::Counter(updates, benchmark::Counter::kAvgIterations);
  state.SetItemsProcessed(state.iterations() * kImportItems);
}

void BM_ImportReportingNothing(benchmark::State& state) { runImport(state, false); }
BENCHMARK(BM_ImportReportingNothing)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ImportReportingEveryItemCoalesced(benchmark::State& state) { runImport(state, true); }
BENCHMARK(BM_ImportReportingEveryItemCoalesced)->UseRealTime()->Unit(benchmark::kMillisecond);

// One report to a coalescing observer, on the reporting thread alone: as during a busy import,
// a delivery is on its way, and the report only replaces its value.
void BM_ProgressReportCoalesced(benchmark::State& state) {
  quiet();
  auto task = xr::AsyncTaskBase::create<TrivialTask>();
  auto bar = std::make_shared<ProgressBar>();
  task->addDelegateCoalesced(bar);
  double value = 0;
  for (auto _ : state) task->fireProgressEvent(value += 1e-9);
  task->cancel();  // never started: the finished event takes it out of the registry
  xr::mainLoop().runUntil([&] { return bar->finished; }, 120.0);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProgressReportCoalesced);

void BM_ImportReportingEveryItemDeliveredAfter(benchmark::State& state) {
  runImport(state, true, false);
}
BENCHMARK(BM_ImportReportingEveryItemDeliveredAfter)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
