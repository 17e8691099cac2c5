// win32_progress: a Win32 program that runs a sequential composite of tasks from its message
// loop, shows the progress in its window's title and on one console line, and cancels the
// composite on Ctrl-C or when the window is closed.
//
//   win32_progress [--tasks N] [--step-ms MS] [--interrupt-after MS]
//
// The library's observers run on the UI thread once installWin32MainThread() has been called,
// so the window and the console line are written there without a lock. Ctrl-C reaches the
// program on a thread the console starts for it, which hands the cancel to the UI thread through
// the library's main thread. Exit status: 0 success, 1 failure, 130 cancelled.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "xrfoundation/integration/win32_main_thread.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/async_task_base.h"
#include "xrfoundation/tasks/multi_task.h"

namespace {

// Stands for a file copy: `steps` slices of work, each followed by a progress report.
class CopyTask : public xr::AsyncTaskBase {
 public:
  CopyTask(Token token, int steps, int stepMs)
      : AsyncTaskBase(token), steps_(steps), stepMs_(stepMs) {}

 protected:
  void main() override {
    for (int i = 1; i <= steps_; ++i) {
      if (isCancelled() || cancelState()) {
        setFinishedResult(false);
        setTaskResult(xr::TaskResult::taskCancelled());
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(stepMs_));
      fireProgressEvent(static_cast<double>(i) / steps_);
    }
    setTaskResult(xr::TaskResult::taskSuccessed());
  }

 private:
  const int steps_;
  const int stepMs_;
};

// Draws the composite's progress and quits the loop with its outcome.
class ProgressLine : public xr::IAsyncTaskDelegate {
 public:
  ProgressLine(const xr::IAsyncTask* composite, HWND window)
      : composite_(composite), window_(window) {}

  void taskStart(const std::shared_ptr<xr::IAsyncTask>&) override {}
  void taskCurrentTaskIndex(const std::shared_ptr<xr::IAsyncTask>&, uint64_t) override {}
  void taskProgressChanged(const std::shared_ptr<xr::IAsyncTask>& task, double progress) override {
    // Progress relayed from the last sub-task may arrive after the outcome.
    if (task.get() != composite_ || finished_) return;
    const int percent = static_cast<int>(progress * 100 + 0.5);
    SetWindowTextW(window_, (L"copying: " + std::to_wstring(percent) + L"%").c_str());
    std::printf("\rcopying: %3d%%", percent);
    std::fflush(stdout);
  }
  void taskFinished(const std::shared_ptr<xr::IAsyncTask>& task,
                    const std::shared_ptr<xr::TaskResult>& result) override {
    if (task.get() != composite_) return;
    finished_ = true;
    const std::string word = result ? result->result().value_or("") : "";
    std::printf("\noutcome: %s\n", word.c_str());
    std::fflush(stdout);
    status_ = word == "success" ? 0 : word == "canceled" ? 130 : 1;
    // Quit after the composite's own finished handling, which runs after its observers.
    xr::mainThread().post([] { PostQuitMessage(0); }, false);
  }
  int status() const { return status_; }

 private:
  const xr::IAsyncTask* composite_;
  HWND window_;
  bool finished_ = false;  // on the UI thread only
  int status_ = 1;
};

xr::MultiTask* g_composite = nullptr;  // set before Ctrl-C or WM_CLOSE can reach it

// [ctrl-c]
// The console calls this on a thread of its own: the cancel is handed to the UI thread.
BOOL WINAPI onConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  xr::mainThread().post(
      [] {
        std::printf("\ncancelling...");
        std::fflush(stdout);
        g_composite->cancel();
      },
      false);
  return TRUE;
}
// [ctrl-c]

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {  // the window stays until the outcome is in
    g_composite->cancel();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int intOption(int argc, char** argv, const char* name, int otherwise) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  return otherwise;
}

}  // namespace

int main(int argc, char** argv) {
  const int taskCount = std::max(1, intOption(argc, argv, "--tasks", 4));
  const int stepMs = std::max(0, intOption(argc, argv, "--step-ms", 100));
  const int interruptAfter = intOption(argc, argv, "--interrupt-after", -1);

  // [install]
  if (!xr::installWin32MainThread()) {
    std::fprintf(stderr, "win32_progress: cannot install the main-thread adapter\n");
    return 1;
  }
  // [install]

  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"win32_progress";
  RegisterClassExW(&windowClass);
  HWND window =
      CreateWindowExW(0, L"win32_progress", L"copying", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, 320, 80, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) {
    std::fprintf(stderr, "win32_progress: cannot make the window\n");
    return 1;
  }
  ShowWindow(window, SW_SHOWNORMAL);

  xr::OperationQueue queue;
  auto composite = xr::AsyncTaskBase::create<xr::MultiTask>();
  composite->setTaskName("copy");
  for (int i = 0; i < taskCount; ++i) {
    auto task = xr::AsyncTaskBase::create<CopyTask>(10, stepMs);
    task->setCalcProgress(true);
    composite->appendTailTask(task);
    queue.addOperation(task);
  }
  auto line = std::make_shared<ProgressLine>(composite.get(), window);
  composite->addDelegate(line);
  queue.addOperation(composite);
  g_composite = composite.get();

  SetConsoleCtrlHandler(onConsoleControl, TRUE);
  // Stands in for the user's Ctrl-C: the handler runs on a thread of its own, as the console's.
  std::thread interrupter;
  if (interruptAfter >= 0)
    interrupter = std::thread([interruptAfter] {
      std::this_thread::sleep_for(std::chrono::milliseconds(interruptAfter));
      onConsoleControl(CTRL_C_EVENT);
    });

  composite->startTask();
  // [loop]
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  xr::uninstallWin32MainThread();  // queued calls and later posts are dropped
  // [loop]
  SetConsoleCtrlHandler(onConsoleControl, FALSE);
  composite->removeDelegate(line.get());
  DestroyWindow(window);
  if (interrupter.joinable()) interrupter.join();
  return line->status();
}
