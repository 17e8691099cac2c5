// tasks/testing/task_testing.h: helpers shared by the task tests -- a task whose work is a
// callable, a step task that reports progress, an observer that records every event, registry
// and main-loop waits, a log quieter and a fixture for the composite tests. The toolkit loop
// tests (integration/) use the step task, the observer and the registry check too.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "xrfoundation/platform/log.h"
#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/platform/testing/latch.h"
#include "xrfoundation/tasks/async_task_base.h"
#include "xrfoundation/tasks/value_task.h"

namespace xr::testing {

class WorkTask : public AsyncTaskBase {
 public:
  WorkTask(Token token, std::function<void(WorkTask&)> work)
      : AsyncTaskBase(token), work_(std::move(work)) {}
  // The internals that tests drive directly.
  using AsyncTaskBase::createCondition;
  using AsyncTaskBase::fireCompletedEvent;
  using AsyncTaskBase::openCancelState;
  using AsyncTaskBase::setExecutingStatus;

 protected:
  void main() override {
    if (work_) work_(*this);
  }

 private:
  std::function<void(WorkTask&)> work_;
};

inline std::shared_ptr<WorkTask> makeTask(std::function<void(WorkTask&)> work = {}) {
  return AsyncTaskBase::create<WorkTask>(std::move(work));
}

inline void succeed(WorkTask& task) { task.setTaskResult(TaskResult::taskSuccessed()); }

inline void fail(WorkTask& task, const std::string& description) {
  task.setFinishedResult(false);
  task.setFinishedDescription(description);
  task.setTaskResult(TaskResult::taskFailed(description));
}

// Work that counts `started` down, then runs until it is cancelled and ends "canceled".
inline std::function<void(WorkTask&)> workUntilCancelled(Latch& started) {
  return [&started](WorkTask& task) {
    started.count_down();
    while (!task.isCancelled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    task.setFinishedResult(false);
    task.setTaskResult(TaskResult::taskCancelled());
  };
}

// Work that counts `started` down, waits for `release`, then succeeds.
inline std::function<void(WorkTask&)> workUntilReleased(Latch& started, Latch& release) {
  return [&started, &release](WorkTask& task) {
    started.count_down();
    release.wait();
    succeed(task);
  };
}

// Records every event it receives, with whether it arrived on the main thread (by default the
// main loop's; or as the predicate given says) and whether another event was still being
// recorded then; `hook` runs after recording, on the delivering thread.
class Recorder : public IAsyncTaskDelegate {
 public:
  struct Event {
    std::string kind;
    const IAsyncTask* task = nullptr;
    double progress = 0;
    std::string word;
    bool onMain = false;
    bool overlapped = false;
  };
  Recorder() = default;
  explicit Recorder(std::function<bool()> isMainThread) : isMainThread_(std::move(isMainThread)) {}

  void taskStart(const std::shared_ptr<IAsyncTask>& task) override {
    add({"start", task.get(), 0, ""});
  }
  void taskProgressChanged(const std::shared_ptr<IAsyncTask>& task, double progress) override {
    add({"progress", task.get(), progress, ""});
  }
  void taskFinished(const std::shared_ptr<IAsyncTask>& task,
                    const std::shared_ptr<TaskResult>& result) override {
    add({"finished", task.get(), 0, result ? result->result().value_or("") : "(none)"});
  }
  void taskCurrentTaskIndex(const std::shared_ptr<IAsyncTask>& task, uint64_t) override {
    add({"index", task.get(), 0, ""});
  }
  std::vector<Event> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<Event> events(const std::string& kind) {
    std::lock_guard lock(mutex_);
    std::vector<Event> matching;
    for (const Event& e : events_)
      if (e.kind == kind) matching.push_back(e);
    return matching;
  }
  // Every event in order, as "start progress:0.5 finished:success".
  std::string story() {
    std::ostringstream out;
    for (const Event& e : events()) {
      out << (out.tellp() > 0 ? " " : "") << e.kind;
      if (e.kind == "progress") out << ':' << e.progress;
      if (e.kind == "finished") out << ':' << e.word;
    }
    return out.str();
  }
  std::vector<double> progressValues() {
    std::vector<double> values;
    for (const Event& e : events("progress")) values.push_back(e.progress);
    return values;
  }
  std::size_t finishedCount() {
    std::lock_guard lock(mutex_);
    return finished_;
  }
  std::map<const IAsyncTask*, std::size_t> finishedPerTask() {
    std::lock_guard lock(mutex_);
    std::map<const IAsyncTask*, std::size_t> perTask;
    for (const Event& e : events_)
      if (e.kind == "finished") ++perTask[e.task];
    return perTask;
  }
  std::size_t count(const std::string& kind, const IAsyncTask* task) {
    std::lock_guard lock(mutex_);
    return std::count_if(events_.begin(), events_.end(),
                         [&](const Event& e) { return e.kind == kind && e.task == task; });
  }
  std::function<void(const Event&)> hook;  // set before the tasks start

 private:
  void add(Event event) {
    const bool busy = busy_.exchange(true);
    event.onMain = isMainThread_();
    event.overlapped = busy;
    {
      std::lock_guard lock(mutex_);
      finished_ += event.kind == "finished";
      events_.push_back(event);
    }
    if (hook) hook(event);
    if (!busy) busy_ = false;
  }
  const std::function<bool()> isMainThread_ = [] { return mainLoop().isMainThread(); };
  std::atomic<bool> busy_{false};
  std::mutex mutex_;
  std::vector<Event> events_;  // guarded by mutex_
  std::size_t finished_ = 0;   // guarded by mutex_
};

// What a watcher delivered, as "started progress finished:WORD" (a run of progress values as one
// word), and whether any of it came off `thread`, the watcher's.
struct Story {
  std::string story;
  bool offThread = false;
  std::thread::id thread = std::this_thread::get_id();
  void add(const std::string& word) {
    offThread = offThread || std::this_thread::get_id() != thread;
    if (word == "progress" && story.ends_with("progress")) return;
    story += (story.empty() ? "" : " ") + word;
  }
};

// Holds a step task's second value until an observer has taken its first, so that the two are
// never coalesced into one delivery, and tells when the second is on its way, so that a test
// acting on the first delivery acts while the next one is pending. The observer's first
// callback calls firstTaken.count_down(), then secondReported.wait().
struct SecondValueGate {
  Latch firstTaken{1};
  Latch secondReported{1};
};

// Sends start, reports `steps` values a millisecond apart and yields make(); or, with
// `untilCancelled`, reports two values and runs until it is cancelled ("canceled"). With a gate,
// the second value waits for the first to be taken (see SecondValueGate).
template <class T = int, class Make = T (*)()>
std::shared_ptr<ValueTask<T>> makeStepTask(
    int steps, bool untilCancelled = false, std::shared_ptr<SecondValueGate> gate = nullptr,
    Make make = [] { return T(); }) {
  return AsyncTaskBase::create<ValueTask<T>>([=](ValueTask<T>& self) -> std::optional<T> {
    self.fireStartEvent();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const auto waiting = [&] {
      return !self.isCancelled() && std::chrono::steady_clock::now() < giveUp;
    };
    for (int i = 1; waiting(); ++i) {
      if (!untilCancelled && i > steps) return make();
      while (i == 2 && gate && !gate->firstTaken.try_wait() && waiting())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (!untilCancelled || i <= 2) self.fireProgressEvent(static_cast<double>(i) / steps);
      if (i == 2 && gate) gate->secondReported.count_down();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::nullopt;
  });
}

inline bool isRegistered(const IAsyncTask* task) {
  for (const auto& registered : registeredTasks())
    if (static_cast<const IAsyncTask*>(registered.get()) == task) return true;
  return false;
}

// Runs the main loop until done() holds; generous, since these machines are noisy.
inline bool runMainUntil(const std::function<bool()>& done, double seconds = 30) {
  return mainLoop().runUntil(done, seconds);
}

// Runs what the main loop has pending, and what that posts in turn.
inline void drainMainLoop() {
  while (mainLoop().processPending() > 0) {
  }
}

// Quiets the library's per-task log lines while it lives, for tests that make thousands of
// tasks; `level` is the lowest kept.
class QuietLogs {
 public:
  explicit QuietLogs(LogLevel level = LogLevel::Warn) : level_(logLevel()) { setLogLevel(level); }
  ~QuietLogs() { setLogLevel(level_); }

 private:
  LogLevel level_;
};

// A fixture for composite tests, run on a queue of each cap that GetParam() names (see
// kQueueCaps): composite() queues the sub-tasks and the composite (of type Composite) on the
// queue with the recorder observing it; runToEnd() starts it and runs the main loop until it
// has ended and what it relayed has been delivered.
template <class Composite>
class CompositeTest : public ::testing::TestWithParam<int> {
 protected:
  CompositeTest() { queue_->setMaxConcurrentOperationCount(GetParam()); }
  ~CompositeTest() override {
    // A composite that never ended keeps a worker blocked: let the queue go without waiting
    // for it, so that the failure is reported instead of hanging the suite.
    if (HasFailure()) (void)queue_.release();
  }

  std::shared_ptr<Composite> composite(const std::vector<std::shared_ptr<IAsyncTask>>& subTasks) {
    auto multi = AsyncTaskBase::create<Composite>();
    for (const auto& task : subTasks) {
      EXPECT_TRUE(multi->appendTailTask(task));
      queue_->addOperation(std::static_pointer_cast<AsyncTaskBase>(task));
    }
    multi->addDelegate(recorder_);
    queue_->addOperation(multi);
    return multi;
  }
  void runToEnd(const std::shared_ptr<Composite>& multi) {
    multi->startTask();
    ASSERT_TRUE(runMainUntil([&] { return !isRegistered(multi.get()); }))
        << "the composite never ended on a queue capped at " << GetParam();
    drainMainLoop();  // progress relayed through nested composites may still be on its way
  }

  std::unique_ptr<OperationQueue> queue_ = std::make_unique<OperationQueue>();
  std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

// The caps the composite suites run under: a serial queue, two workers, and no cap.
inline constexpr int kQueueCaps[] = {1, 2, OperationQueue::kUnlimited};

// Names a cap in test names: "Serial", "Cap2", "Uncapped".
inline std::string queueCapName(const ::testing::TestParamInfo<int>& info) {
  if (info.param == 1) return "Serial";
  if (info.param == OperationQueue::kUnlimited) return "Uncapped";
  return "Cap" + std::to_string(info.param);
}

}  // namespace xr::testing
