// glib_progress: a GLib console program that runs a sequential composite of tasks from
// g_main_loop_run(), shows its progress on one line and cancels it on Ctrl-C.
//
//   glib_progress [--tasks N] [--step-ms MS] [--interrupt-after MS]
//
// The library's observers run on the loop's thread once installGlibMainThread() has been
// called, so the progress line is written there without a lock. Ctrl-C reaches the loop as a
// GLib Unix signal source. Exit status: 0 success, 1 failure, 130 cancelled.
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "xrfoundation/integration/glib_main_thread.h"
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
  ProgressLine(const xr::IAsyncTask* composite, GMainLoop* loop)
      : composite_(composite), loop_(loop) {}

  void taskStart(const std::shared_ptr<xr::IAsyncTask>&) override {}
  void taskCurrentTaskIndex(const std::shared_ptr<xr::IAsyncTask>&, uint64_t) override {}
  void taskProgressChanged(const std::shared_ptr<xr::IAsyncTask>& task, double progress) override {
    // Progress relayed from the last sub-task may arrive after the outcome.
    if (task.get() != composite_ || finished_) return;
    std::printf("\rcopying: %3d%%", static_cast<int>(progress * 100 + 0.5));
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
    g_idle_add(
        [](gpointer loop) -> gboolean {
          g_main_loop_quit(static_cast<GMainLoop*>(loop));
          return G_SOURCE_REMOVE;
        },
        loop_);
  }
  int status() const { return status_; }

 private:
  const xr::IAsyncTask* composite_;
  bool finished_ = false;  // on the loop's thread only
  GMainLoop* loop_;
  int status_ = 1;
};

}  // namespace

int main(int argc, char** argv) {
  gint taskCount = 4;
  gint stepMs = 100;
  gint interruptAfter = -1;
  const GOptionEntry entries[] = {
      {"tasks", 0, 0, G_OPTION_ARG_INT, &taskCount, "Number of tasks (default 4)", "N"},
      {"step-ms", 0, 0, G_OPTION_ARG_INT, &stepMs, "Milliseconds per tenth of a task (default 100)",
       "MS"},
      {"interrupt-after", 0, 0, G_OPTION_ARG_INT, &interruptAfter,
       "Send this program SIGINT after so many milliseconds", "MS"},
      {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr}};
  GOptionContext* options =
      g_option_context_new("- run a composite of tasks with a progress line; Ctrl-C cancels");
  g_option_context_add_main_entries(options, entries, nullptr);
  GError* error = nullptr;
  const bool parsed = g_option_context_parse(options, &argc, &argv, &error);
  g_option_context_free(options);
  if (!parsed) {
    std::fprintf(stderr, "glib_progress: %s\n", error->message);
    g_error_free(error);
    return 2;
  }
  taskCount = std::max(1, taskCount);
  stepMs = std::max(0, stepMs);

  // [install]
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  if (!xr::installGlibMainThread()) {
    std::fprintf(stderr, "glib_progress: cannot install the main-thread adapter\n");
    return 1;
  }
  // [install]

  xr::OperationQueue queue;
  auto composite = xr::AsyncTaskBase::create<xr::MultiTask>();
  composite->setTaskName("copy");
  for (int i = 0; i < taskCount; ++i) {
    auto task = xr::AsyncTaskBase::create<CopyTask>(10, stepMs);
    task->setCalcProgress(true);
    composite->appendTailTask(task);
    queue.addOperation(task);
  }
  auto line = std::make_shared<ProgressLine>(composite.get(), loop);
  composite->addDelegate(line);
  queue.addOperation(composite);

  // GLib turns the signal into a source on the default context: the callback runs on the loop.
  g_unix_signal_add(
      SIGINT,
      [](gpointer data) -> gboolean {
        std::printf("\ncancelling...");
        std::fflush(stdout);
        static_cast<xr::MultiTask*>(data)->cancel();
        return G_SOURCE_CONTINUE;
      },
      composite.get());
  if (interruptAfter >= 0)
    g_timeout_add(
        static_cast<guint>(interruptAfter),
        [](gpointer) -> gboolean {
          ::kill(::getpid(), SIGINT);
          return G_SOURCE_REMOVE;
        },
        nullptr);

  composite->startTask();
  g_main_loop_run(loop);
  composite->removeDelegate(line.get());
  g_main_loop_unref(loop);
  return line->status();
}
