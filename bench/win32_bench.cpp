// bench/win32_bench.cpp: posting through the Win32 main-thread adapter beside the system's own
// primitives, in the same run. A worker makes kBatch posts to the message loop running on the
// main thread; an iteration ends when the loop has run the last one.
//   posts that do not wait: Win32MainThread::post vs PostMessageW to a window procedure of the
//     benchmark's own;
//   post-and-wait round trips: Win32MainThread::post(wait) vs SendMessageW to that window from
//     the worker (the system's cross-thread call that waits for the window procedure).
#include <benchmark/benchmark.h>
#include <windows.h>

#include <memory>
#include <thread>

#include "post_batches.h"
#include "xrfoundation/integration/win32_main_thread.h"

namespace {

using xr::bench::kBatch;
constexpr UINT kCountMessage = WM_APP + 1;

// Touched by the posted calls, on the main thread only.
long g_counter = 0;

void count(bool last) {
  ++g_counter;
  if (last) PostQuitMessage(0);
}

// The application's own message loop, until a posted call quits it.
void runLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Makes kBatch posts on a worker with post(last), while the loop runs on this thread.
template <class Post>
void postBatches(benchmark::State& state, Post post) {
  xr::bench::postBatches(state, post, runLoop, g_counter);
}

void BM_Win32AdapterPost(benchmark::State& state) {
  const bool wait = state.range(0) != 0;
  std::shared_ptr<xr::Win32MainThread> adapter = xr::Win32MainThread::create();
  if (adapter == nullptr) {
    state.SkipWithError("the adapter's window cannot be made");
    return;
  }
  postBatches(state, [&](bool last) { adapter->post([last] { count(last); }, wait); });
  adapter->detach();
  state.SetLabel(wait ? "wait" : "no wait");
}
BENCHMARK(BM_Win32AdapterPost)->Arg(0)->Arg(1)->UseRealTime();

LRESULT CALLBACK countingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kCountMessage) {
    count(wParam != 0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window whose procedure counts, as an application's own would.
HWND countingWindow() {
  static const HWND window = [] {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = countingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"xr.bench.Counting";
    RegisterClassExW(&windowClass);
    return CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           windowClass.hInstance, nullptr);
  }();
  return window;
}

void BM_Win32PostMessage(benchmark::State& state) {
  const bool wait = state.range(0) != 0;
  HWND window = countingWindow();
  if (window == nullptr) {
    state.SkipWithError("the window cannot be made");
    return;
  }
  postBatches(state, [&](bool last) {
    if (wait)
      SendMessageW(window, kCountMessage, last, 0);
    else
      PostMessageW(window, kCountMessage, last, 0);
  });
  state.SetLabel(wait ? "SendMessageW" : "PostMessageW");
}
BENCHMARK(BM_Win32PostMessage)->Arg(0)->Arg(1)->UseRealTime();

}  // namespace
