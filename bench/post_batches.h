// bench/post_batches.h: the shape of every posting benchmark: a worker makes kBatch posts to a
// loop that runs on the benchmark's thread, and an iteration ends when the loop has run the last
// one.
#pragma once
#include <benchmark/benchmark.h>

#include <thread>

namespace xr::bench {

constexpr int kBatch = 1000;  // posts per benchmark iteration

// Makes kBatch posts on a worker with post(last), where the last one's call ends the loop,
// while runLoop() runs the loop on this thread. `touched` is what the posted calls change, kept
// from being optimised away.
template <class Post, class RunLoop>
void postBatches(benchmark::State& state, Post post, RunLoop runLoop, const long& touched) {
  for (auto _ : state) {
    std::thread worker([&] {
      for (int i = 1; i <= kBatch; ++i) post(i == kBatch);
    });
    runLoop();
    worker.join();
  }
  benchmark::DoNotOptimize(touched);
  state.SetItemsProcessed(state.iterations() * kBatch);
}

}  // namespace xr::bench
