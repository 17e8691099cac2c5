// examples/task_progress.cpp: a task that reports its progress, and an observer that sees
// the progress and the outcome on the main thread. Observers registered with addDelegate()
// are called on the main thread, so the main thread must run the library's main loop (or
// the application installs its own loop with xr::setMainThread()).
#include <cstdio>
#include <memory>
#include <vector>

#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/async_task_base.h"

// [task]
// The work runs on a worker thread of the operation queue.
class CopyTask : public xr::AsyncTaskBase {
 public:
  explicit CopyTask(Token token) : AsyncTaskBase(token) {}

 protected:
  void main() override {
    for (int part = 1; part <= 4; ++part) fireProgressEvent(part / 4.0);
    setTaskResult(xr::TaskResult::taskSuccessed());
  }
};

// An observer derives from the facets it wants; these calls arrive on the main thread.
class ProgressPrinter : public xr::ITaskProgressDelegate, public xr::ITaskFinishedDelegate {
 public:
  void taskProgressChanged(const std::shared_ptr<xr::IAsyncTask>&, double progress) override {
    std::printf("progress: %.0f%%\n", progress * 100);
    seen.push_back(progress);
  }
  void taskFinished(const std::shared_ptr<xr::IAsyncTask>&,
                    const std::shared_ptr<xr::TaskResult>& result) override {
    std::printf("finished: %s\n", result->result().value_or("(none)").c_str());
    succeeded = result->isSuccess();
    finished = true;
  }
  std::vector<double> seen;
  bool succeeded = false;
  bool finished = false;
};

int main() {
  xr::OperationQueue queue;
  auto printer = std::make_shared<ProgressPrinter>();  // held weakly by the task: keep it
  auto task = xr::AsyncTaskBase::create<CopyTask>();
  task->addDelegate(printer);
  queue.addOperation(task);
  task->startTask();  // a new task is held until now

  // The main thread runs posted calls (the observer's) until the task has finished, for at
  // most 10 seconds.
  xr::mainLoop().runUntil([&] { return printer->finished; }, 10.0);
  // [task]

  const std::vector<double> expected = {0.25, 0.5, 0.75, 1.0};
  if (!printer->finished || !printer->succeeded || printer->seen != expected) {
    std::fprintf(stderr, "task_progress: unexpected outcome\n");
    return 1;
  }
  return 0;
}
