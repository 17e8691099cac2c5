// qt_progress: a QtCore console program that runs a sequential composite of tasks from
// QCoreApplication::exec(), shows its progress on one line and cancels it on Ctrl-C.
//
//   qt_progress [--tasks N] [--step-ms MS] [--interrupt-after MS]
//
// The library's observers run on the application's thread once installQtMainThread() has been
// called, so the progress line is written there without a lock. Ctrl-C reaches the loop through
// a pipe that the signal handler writes and a QSocketNotifier reads: a signal handler may do
// little more than write(). Exit status: 0 success, 1 failure, 130 cancelled.
#include <signal.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "xrfoundation/integration/qt_main_thread.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/async_task_base.h"
#include "xrfoundation/tasks/multi_task.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void onSigint(int) {
  const char byte = 'c';
  [[maybe_unused]] ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

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

// Draws the composite's progress and ends the application with its outcome.
class ProgressLine : public xr::IAsyncTaskDelegate {
 public:
  explicit ProgressLine(const xr::IAsyncTask* composite) : composite_(composite) {}

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
    const int status = word == "success" ? 0 : word == "canceled" ? 130 : 1;
    // Queued behind the composite's own finished handling, which runs after its observers.
    QTimer::singleShot(0, [status] { QCoreApplication::exit(status); });
  }

 private:
  const xr::IAsyncTask* composite_;
  bool finished_ = false;  // on the loop's thread only
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Runs a composite of tasks with a progress line; Ctrl-C cancels.");
  parser.addHelpOption();
  const QCommandLineOption tasksOption("tasks", "Number of tasks (default 4).", "n", "4");
  const QCommandLineOption stepOption("step-ms", "Milliseconds per tenth of a task (default 100).",
                                      "ms", "100");
  const QCommandLineOption interruptOption(
      "interrupt-after", "Send this program SIGINT after so many milliseconds.", "ms");
  parser.addOptions({tasksOption, stepOption, interruptOption});
  parser.process(application);
  const int taskCount = std::max(1, parser.value(tasksOption).toInt());
  const int stepMs = std::max(0, parser.value(stepOption).toInt());

  // [install]
  if (!xr::installQtMainThread()) {
    std::fprintf(stderr, "qt_progress: cannot install the main-thread adapter\n");
    return 1;
  }
  // [install]

  if (::pipe(g_signalPipe) != 0) return 1;
  struct sigaction action = {};
  action.sa_handler = onSigint;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);

  xr::OperationQueue queue;
  auto composite = xr::AsyncTaskBase::create<xr::MultiTask>();
  composite->setTaskName("copy");
  for (int i = 0; i < taskCount; ++i) {
    auto task = xr::AsyncTaskBase::create<CopyTask>(10, stepMs);
    task->setCalcProgress(true);
    composite->appendTailTask(task);
    queue.addOperation(task);
  }
  auto line = std::make_shared<ProgressLine>(composite.get());
  composite->addDelegate(line);
  queue.addOperation(composite);

  QSocketNotifier interrupted(g_signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&interrupted, &QSocketNotifier::activated, [&] {
    char byte;
    [[maybe_unused]] ssize_t got = ::read(g_signalPipe[0], &byte, 1);
    std::printf("\ncancelling...");
    std::fflush(stdout);
    composite->cancel();
  });
  if (parser.isSet(interruptOption))
    QTimer::singleShot(parser.value(interruptOption).toInt(), [] { ::kill(::getpid(), SIGINT); });

  composite->startTask();
  const int status = application.exec();
  composite->removeDelegate(line.get());
  return status;
}
