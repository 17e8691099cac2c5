// bench/events_bench.cpp: the cost of firing an event dispatcher and of posting a prepared call
// to the main thread, each beside the plain way of doing the same in the same run: calling the
// handlers directly, and a bare mutex + condition variable + deque loop.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "plain_loop.h"
#include "xrfoundation/events/event_dispatcher.h"
#include "xrfoundation/events/main_thread_posting.h"
#include "xrfoundation/platform/main_loop.h"

namespace {

constexpr int kHandlers = 16;
constexpr int kBatch = 1000;  // posts per benchmark iteration

class Counter {
 public:
  // Not inlined, so that a direct call is a real call like the dispatcher's.
  [[gnu::noinline]] void onEvent(int value) { total_ += value; }
  long total() const { return total_; }

 private:
  long total_ = 0;
};

std::vector<std::shared_ptr<Counter>> makeCounters() {
  std::vector<std::shared_ptr<Counter>> counters;
  for (int i = 0; i < kHandlers; ++i) counters.push_back(std::make_shared<Counter>());
  return counters;
}

void BM_DispatcherFire16(benchmark::State& state) {
  const bool retained = state.range(0) != 0;
  auto counters = makeCounters();
  auto dispatcher = xr::EventDispatcher::create(xr::MethodSignature::of<void(int)>());
  for (const auto& counter : counters) dispatcher->addEventHandler(counter, &Counter::onEvent);
  dispatcher->setArgument(1, xr::kFirstArgumentIndex);
  if (retained) dispatcher->argumentsRetained();
  for (auto _ : state) dispatcher->fireEvent();
  benchmark::DoNotOptimize(counters[0]->total());
  state.SetItemsProcessed(state.iterations() * kHandlers);
  state.SetLabel(retained ? "retained" : "not retained");
}
BENCHMARK(BM_DispatcherFire16)->Arg(0)->Arg(1);

void BM_DirectCalls16(benchmark::State& state) {
  auto counters = makeCounters();
  int value = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(value);
    for (const auto& counter : counters) counter->onEvent(value);
  }
  benchmark::DoNotOptimize(counters[0]->total());
  state.SetItemsProcessed(state.iterations() * kHandlers);
}
BENCHMARK(BM_DirectCalls16);

void BM_PreparedCallInvokeDirect(benchmark::State& state) {
  auto counter = std::make_shared<Counter>();
  auto call = xr::invocationWithTarget(counter, &Counter::onEvent, true, 1);
  for (auto _ : state) call->invoke();
  benchmark::DoNotOptimize(counter->total());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PreparedCallInvokeDirect);

// Posting without waiting, from the main thread itself; the queue is drained after each batch.
void BM_PostPreparedCallNoWait(benchmark::State& state) {
  auto counter = std::make_shared<Counter>();
  auto call = xr::invocationWithTarget(counter, &Counter::onEvent, true, 1);
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) xr::invokeOnMainThreadWaitUntilDone(call, false);
    xr::mainLoop().processPending();
  }
  benchmark::DoNotOptimize(counter->total());
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PostPreparedCallNoWait);

// Posts kBatch closures per iteration to loop (the main loop or the plain one, with the same
// closures): without waiting from the main thread itself, the queue drained after each batch;
// or, waiting, from a worker making kBatch round trips while the main thread runs the loop.
template <class Loop>
void postBatches(benchmark::State& state, Loop& loop, bool wait) {
  auto counter = std::make_shared<Counter>();
  for (auto _ : state) {
    if (!wait) {
      for (int i = 0; i < kBatch; ++i) loop.post([counter] { counter->onEvent(1); }, false);
      loop.processPending();
      continue;
    }
    std::atomic<bool> done{false};
    std::thread worker([&] {
      for (int i = 0; i < kBatch; ++i) loop.post([&counter] { counter->onEvent(1); }, true);
      done = true;
      loop.post([] {}, false);  // wakes the loop to see that the worker is done
    });
    loop.runUntil([&] { return done.load(); });
    worker.join();
  }
  loop.processPending();
  benchmark::DoNotOptimize(counter->total());
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// The library's main loop, shaped like the plain loop for postBatches.
struct MainLoopRef {
  template <class Call>
  void post(Call&& call, bool wait) {
    xr::mainLoop().post(std::forward<Call>(call), wait);
  }
  void runUntil(const std::function<bool()>& done) { xr::mainLoop().runUntil(done, 60.0); }
  void processPending() { xr::mainLoop().processPending(); }
};

void BM_MainLoopPostNoWait(benchmark::State& state) {
  MainLoopRef loop;
  postBatches(state, loop, false);
}
BENCHMARK(BM_MainLoopPostNoWait);

void BM_PlainLoopNoWait(benchmark::State& state) {
  xr::bench::PlainLoop loop;
  postBatches(state, loop, false);
}
BENCHMARK(BM_PlainLoopNoWait);

// Posting with waiting: a worker makes kBatch round trips while the main thread runs the loop.
// The worker's last post (not waited for) wakes the loop to see that it is done.
void BM_PostPreparedCallWait(benchmark::State& state) {
  auto counter = std::make_shared<Counter>();
  auto call = xr::invocationWithTarget(counter, &Counter::onEvent, true, 1);
  for (auto _ : state) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
      for (int i = 0; i < kBatch; ++i) xr::invokeOnMainThreadWaitUntilDone(call, true);
      done = true;
      xr::mainLoop().post([] {}, false);
    });
    xr::mainLoop().runUntil([&] { return done.load(); }, 60.0);
    worker.join();
  }
  xr::mainLoop().processPending();
  benchmark::DoNotOptimize(counter->total());
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PostPreparedCallWait)->UseRealTime();

void BM_MainLoopPostWait(benchmark::State& state) {
  MainLoopRef loop;
  postBatches(state, loop, true);
}
BENCHMARK(BM_MainLoopPostWait)->UseRealTime();

void BM_PlainLoopWait(benchmark::State& state) {
  xr::bench::PlainLoop loop;
  postBatches(state, loop, true);
}
BENCHMARK(BM_PlainLoopWait)->UseRealTime();

}  // namespace
