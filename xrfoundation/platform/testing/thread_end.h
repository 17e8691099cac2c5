// platform/testing/thread_end.h: tells whether the threads that ran a test's work have ended,
// not only left their loops. A thread calls markThreadEnd(); its mark is destroyed as the
// thread ends, after whatever ran it has returned, and slowly, as a thread that is slow to go.
#pragma once
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

namespace xr::testing {

struct ThreadEnds {
  std::atomic<int> marked{0};
  std::atomic<int> ended{0};
};

inline ThreadEnds& threadEnds() {
  static ThreadEnds ends;
  return ends;
}

namespace detail {
struct ThreadEndMark {
  bool marked = false;
  ~ThreadEndMark() {
    if (!marked) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ++threadEnds().ended;
  }
};
inline thread_local ThreadEndMark tl_threadEndMark;
}  // namespace detail

// Marks the calling thread once, however often it is called there.
inline void markThreadEnd() {
  if (!std::exchange(detail::tl_threadEndMark.marked, true)) ++threadEnds().marked;
}

}  // namespace xr::testing
