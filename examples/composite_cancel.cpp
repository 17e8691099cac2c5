// examples/composite_cancel.cpp: a sequential composite of three tasks, cancelled while its
// second task runs. The running task sees the cancel and stops, the third never runs, and
// the composite ends "canceled".
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string_view>
#include <thread>

#include "xrfoundation/platform/log.h"
#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/async_task_base.h"
#include "xrfoundation/tasks/multi_task.h"

// [composite]
// One step of a job. A long step polls isCancelled() so that a cancel stops it soon.
class StepTask : public xr::AsyncTaskBase {
 public:
  StepTask(Token token, bool longRunning) : AsyncTaskBase(token), longRunning_(longRunning) {}
  std::atomic<bool> ran{false};

 protected:
  void main() override {
    ran = true;
    for (int slice = 0; longRunning_ && slice < 1000 && !isCancelled(); ++slice)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    setTaskResult(isCancelled() ? xr::TaskResult::taskCancelled()
                                : xr::TaskResult::taskSuccessed());
  }

 private:
  const bool longRunning_;
};

class Outcome : public xr::ITaskFinishedDelegate {
 public:
  void taskFinished(const std::shared_ptr<xr::IAsyncTask>&,
                    const std::shared_ptr<xr::TaskResult>& result) override {
    word = result->result().value_or("(none)");
  }
  std::string word;  // main thread only
};

// Lines the library wrote about new tasks; the handler runs on whichever thread logs.
std::atomic<int> g_tasksMade{0};

int main() {
  // [logging]
  // The library's log lines go to the application's own logger (here: standard output),
  // the informational ones too. Without a handler, warnings and errors go to standard error.
  xr::setLogLevel(xr::LogLevel::Info);
  xr::setLogHandler([](xr::LogLevel level, std::string_view logger, std::string_view text) {
    std::printf("%s %.*s: %.*s\n", level >= xr::LogLevel::Warn ? "!" : " ",
                static_cast<int>(logger.size()), logger.data(), static_cast<int>(text.size()),
                text.data());
    if (text.starts_with("(+)AsyncTask")) ++g_tasksMade;
  });
  // [logging]

  xr::OperationQueue queue;
  auto first = xr::AsyncTaskBase::create<StepTask>(false);
  auto second = xr::AsyncTaskBase::create<StepTask>(true);
  auto third = xr::AsyncTaskBase::create<StepTask>(false);
  auto job = xr::AsyncTaskBase::create<xr::MultiTask>();
  for (const auto& step : {first, second, third}) {
    job->appendTailTask(step);
    queue.addOperation(step);  // the composite releases each step in turn
  }
  auto outcome = std::make_shared<Outcome>();
  job->addDelegate(outcome);
  queue.addOperation(job);
  job->startTask();

  // Cancel from the main thread once the second step is under way; any thread may cancel.
  xr::mainLoop().runUntil([&] { return second->ran.load(); }, 10.0);
  job->cancel();
  xr::mainLoop().runUntil([&] { return !outcome->word.empty(); }, 10.0);
  std::printf("composite: %s\n", outcome->word.c_str());
  // [composite]

  if (outcome->word != "canceled" || !first->ran || !second->ran || third->ran ||
      g_tasksMade != 4) {
    std::fprintf(stderr, "composite_cancel: unexpected outcome\n");
    return 1;
  }
  return 0;
}
