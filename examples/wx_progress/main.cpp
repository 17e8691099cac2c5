// wx_progress: a wxWidgets console program (wxBase only) that runs a sequential composite of
// tasks from the application's event loop, shows its progress on one line and cancels it on
// Ctrl-C.
//
//   wx_progress [--tasks N] [--step-ms MS] [--interrupt-after MS]
//
// installWxMainThread() makes the application's loop the library's main thread, so the task
// watcher's callbacks run there and the progress line is written without a lock. wxWidgets turns
// Ctrl-C into a call on the loop (wxAppConsole::SetSignalHandler). Exit status: 0 success,
// 1 failure, 130 cancelled.
#include <signal.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/cmdline.h>
#include <wx/timer.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "xrfoundation/integration/wx_main_thread.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/async_task_base.h"
#include "xrfoundation/tasks/multi_task.h"
#include "xrfoundation/tasks/task_watcher.h"

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

// Sends this program SIGINT when it fires, as a user's Ctrl-C would.
class Interrupter : public wxTimer {
 public:
  void Notify() override { ::kill(::getpid(), SIGINT); }
};

}  // namespace

// Runs the composite from the application's loop and exits with its outcome.
class ProgressApp : public wxAppConsole {
 public:
  bool OnInit() override {
    wxCmdLineParser parser(argc, argv);
    parser.AddOption("", "tasks", "Number of tasks (default 4)", wxCMD_LINE_VAL_NUMBER);
    parser.AddOption("", "step-ms", "Milliseconds per tenth of a task (default 100)",
                     wxCMD_LINE_VAL_NUMBER);
    parser.AddOption("", "interrupt-after", "Send this program SIGINT after so many milliseconds",
                     wxCMD_LINE_VAL_NUMBER);
    if (parser.Parse() != 0) return false;
    long taskCount = 4, stepMs = 100, interruptAfter = -1;
    parser.Found("tasks", &taskCount);
    parser.Found("step-ms", &stepMs);
    parser.Found("interrupt-after", &interruptAfter);

    // [install]
    if (!xr::installWxMainThread()) {
      std::fprintf(stderr, "wx_progress: cannot install the main-thread adapter\n");
      return false;
    }
    // [install]

    composite_ = xr::AsyncTaskBase::create<xr::MultiTask>();
    composite_->setTaskName("copy");
    for (long i = 0; i < std::max(1L, taskCount); ++i) {
      auto task = xr::AsyncTaskBase::create<CopyTask>(10, static_cast<int>(std::max(0L, stepMs)));
      task->setCalcProgress(true);
      composite_->appendTailTask(task);
      queue_.addOperation(task);
    }
    queue_.addOperation(composite_);

    // [watcher]
    watcher_ = std::make_unique<xr::TaskWatcher>(xr::TaskWatcher::Callbacks{
        .progressChanged =
            [](double progress) {
              std::printf("\rcopying: %3d%%", static_cast<int>(progress * 100 + 0.5));
              std::fflush(stdout);
            },
        .finished =
            [this](const xr::TaskOutcome& outcome) {
              std::printf("\noutcome: %s\n", outcome.word.c_str());
              std::fflush(stdout);
              status_ = outcome.succeeded() ? 0 : outcome.word == "canceled" ? 130 : 1;
              // Queued behind the composite's own finished handling, which runs after its
              // observers.
              CallAfter([this] { ExitMainLoop(); });
            },
    });
    watcher_->setTask(composite_);
    // [watcher]

    SetSignalHandler(SIGINT, &ProgressApp::onInterrupt);
    if (interruptAfter >= 0) interrupter_.StartOnce(static_cast<int>(interruptAfter));
    composite_->startTask();
    return true;
  }

  // The loop's end, with the composite's outcome as the exit status.
  int OnRun() override {
    wxAppConsole::OnRun();
    return status_;
  }

  int OnExit() override {
    // Calls still on their way are dropped rather than left to a loop that no longer runs.
    xr::uninstallWxMainThread();
    watcher_.reset();
    return wxAppConsole::OnExit();
  }

 private:
  // Called on the loop, not in the signal's context.
  static void onInterrupt(int);

  xr::OperationQueue queue_;
  std::shared_ptr<xr::MultiTask> composite_;
  std::unique_ptr<xr::TaskWatcher> watcher_;
  Interrupter interrupter_;
  int status_ = 1;
};

wxDECLARE_APP(ProgressApp);

void ProgressApp::onInterrupt(int) {
  std::printf("\ncancelling...");
  std::fflush(stdout);
  wxGetApp().watcher_->cancel();
}

wxIMPLEMENT_APP_CONSOLE(ProgressApp);
