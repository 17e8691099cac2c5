// tools/xrf/step_runner.cpp: a job as a MultiTask of step tasks, with a progress bar and Ctrl-C.
#include "step_runner.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>

#include "command.h"
#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/multi_task.h"

namespace xrf {
namespace {

// The main loop wakes at least this often to notice a Ctrl-C (seconds).
constexpr double kInterruptPollSeconds = 0.05;
// After the composite's finished event, the steps' own may still be on their way (seconds).
constexpr double kStepEventsGraceSeconds = 2.0;
// A step's progress is passed on once it has moved by this much.
constexpr double kProgressStep = 0.01;
constexpr int kBarWidth = 32;  // cells between the brackets

// The signal may land on any thread, a queue's worker included, while the main thread polls:
// a lock-free atomic, not a volatile sig_atomic_t, which is safe only within one thread.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "the Ctrl-C handler needs a lock-free flag");

extern "C" void onInterrupt(int) {
  // The first Ctrl-C asks the job to cancel; a second one, while it winds down, ends the
  // process at once.
  if (g_interrupts.exchange(1) > 0) std::_Exit(kExitCancelled);
}

// Installs the Ctrl-C handler for its lifetime.
class InterruptScope {
 public:
  InterruptScope() {
    g_interrupts = 0;
    previous_ = std::signal(SIGINT, onInterrupt);
  }
  ~InterruptScope() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }
  bool interrupted() const { return g_interrupts != 0; }

 private:
  void (*previous_)(int) = SIG_DFL;
};

class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled) {}

  void update(double fraction, const std::string& label) {
    if (!enabled_) return;
    if (std::isnan(fraction)) fraction = 0;
    const int percent = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100));
    if (drawn_ && percent == percent_ && label == label_) return;
    percent_ = percent;
    label_ = label;
    draw();
  }
  void setLabel(const std::string& label) { update(percent_ / 100.0, label); }
  double fraction() const { return percent_ / 100.0; }

  // Erases the bar, so that other output can take the line; the next update draws it again.
  void clear() {
    if (!enabled_ || !drawn_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
  }
  // Leaves the full bar with a closing label on its line.
  void finish(const std::string& label) {
    if (!enabled_) return;
    percent_ = 100;
    label_ = label;
    draw();
    std::fputc('\n', stderr);
    std::fflush(stderr);
    drawn_ = false;
  }

 private:
  void draw() {
    const int filled = percent_ * kBarWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r\033[K[%s] %3d%%  %s", bar.c_str(), percent_, label_.c_str());
    std::fflush(stderr);
    drawn_ = true;
  }

  bool enabled_;
  bool drawn_ = false;
  int percent_ = 0;
  std::string label_;
};

}  // namespace

bool StepContext::cancelled() const { return cancelled_ && cancelled_(); }

void StepContext::progress(double fraction) {
  if (!report_ || !(fraction >= 0)) return;
  fraction = std::min(fraction, 1.0);
  if (fraction < 1.0 && fraction - reported_ < kProgressStep) return;
  if (fraction == reported_) return;
  reported_ = fraction;
  report_(fraction);
}

bool StepContext::fail(std::string description) {
  failure_ = std::move(description);
  return false;
}

// One step as a task: its work runs on a worker thread of the queue once the composite
// releases it; its outcome is what the composite reads.
class StepTask : public xr::AsyncTaskBase {
 public:
  StepTask(Token token, Step step, std::size_t index)
      : AsyncTaskBase(token), step_(std::move(step)), index_(index) {
    setTaskName(step_.title);
    setCalcProgress(step_.countsInProgress);
  }

  const std::string& title() const { return step_.title; }
  std::size_t index() const { return index_; }
  // Read on the main thread once the step's finished event has arrived.
  std::string summary() const {
    std::lock_guard lock(mutex_);
    return summary_;
  }
  std::vector<std::string> warnings() const {
    std::lock_guard lock(mutex_);
    return warnings_;
  }

 protected:
  void main() override {
    fireStartEvent();
    StepContext context;
    context.cancelled_ = [this] { return isCancelled() || cancelState(); };
    if (calcProgress()) context.report_ = [this](double fraction) { fireProgressEvent(fraction); };
    bool ok = false;
    try {
      ok = step_.work && step_.work(context);
    } catch (const std::exception& error) {
      // A surprise in a step (out of memory, a file system error) fails the step, not the tool.
      ok = context.fail(error.what());
    }
    {
      std::lock_guard lock(mutex_);
      summary_ = context.summary_;
      warnings_ = context.warnings_;
    }
    if (ok) {
      context.progress(1.0);
      setTaskResult(xr::TaskResult::taskSuccessed());
      return;
    }
    setFinishedResult(false);
    if (context.cancelled()) {
      setTaskResult(xr::TaskResult::taskCancelled());
      return;
    }
    const std::string description =
        step_.title + ": " + (context.failure_.empty() ? "failed" : context.failure_);
    setFinishedDescription(description);
    setTaskResult(xr::TaskResult::taskFailed(description));
  }

 private:
  const Step step_;
  const std::size_t index_;
  mutable std::mutex mutex_;
  std::string summary_;                // guarded by mutex_
  std::vector<std::string> warnings_;  // guarded by mutex_
};

namespace {

// Receives the composite's and the steps' events on the main thread.
class JobObserver : public xr::ITaskStartDelegate,
                    public xr::ITaskProgressDelegate,
                    public xr::ITaskFinishedDelegate {
 public:
  // The observer keeps what it uses: a late event may reach it after runSteps() returned.
  JobObserver(RunOptions options, bool progressBar)
      : options_(std::move(options)), bar_(progressBar) {}

  ProgressBar& bar() { return bar_; }

  void setComposite(const xr::IAsyncTask* composite) { composite_ = composite; }
  // The composite's finished event and every step's (each step sends one, cancelled or not;
  // the last step's may come after the composite's) have arrived.
  bool finished() const { return finished_ && stepsFinished_ == stepCount_; }
  bool compositeFinished() const { return finished_; }
  const std::shared_ptr<xr::TaskResult>& result() const { return result_; }

  void setStepCount(std::size_t count) { stepCount_ = count; }

  void taskStart(const std::shared_ptr<xr::IAsyncTask>& task) override {
    const auto* step = dynamic_cast<const StepTask*>(task.get());
    if (!step) return;
    label_ = step->title();
    if (stepCount_ > 1) {
      label_ += " (" + std::to_string(step->index() + 1) + "/" + std::to_string(stepCount_) + ")";
    }
    bar_.setLabel(label_);
  }
  void taskProgressChanged(const std::shared_ptr<xr::IAsyncTask>& task, double progress) override {
    if (task.get() == composite_) bar_.update(progress, label_);
  }
  void taskFinished(const std::shared_ptr<xr::IAsyncTask>& task,
                    const std::shared_ptr<xr::TaskResult>& result) override {
    if (task.get() == composite_) {
      result_ = result;
      finished_ = true;
      return;
    }
    const auto* step = dynamic_cast<const StepTask*>(task.get());
    if (!step) return;
    ++stepsFinished_;
    const auto warnings = step->warnings();
    const bool succeeded = result && result->isSuccess();
    if (warnings.empty() && !(succeeded && options_.onStepDone)) return;
    bar_.clear();
    for (const auto& warning : warnings)
      std::fprintf(stderr, "xrf: warning: %s\n", warning.c_str());
    std::fflush(stderr);
    if (succeeded && options_.onStepDone) {
      options_.onStepDone(step->index(), step->title(), step->summary());
      std::fflush(stdout);
    }
    bar_.setLabel(label_);
  }

 private:
  const RunOptions options_;
  ProgressBar bar_;
  const xr::IAsyncTask* composite_ = nullptr;
  bool finished_ = false;
  std::shared_ptr<xr::TaskResult> result_;
  std::size_t stepCount_ = 0;
  std::size_t stepsFinished_ = 0;
  std::string label_;  // the running step's title
};

}  // namespace

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

RunOutcome runSteps(std::vector<Step> steps, const RunOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  auto observer = std::make_shared<JobObserver>(
      options, options.progressBar.value_or(standardErrorIsTerminal()));
  ProgressBar& bar = observer->bar();

  xr::OperationQueue queue;
  auto composite = xr::AsyncTaskBase::create<xr::MultiTask>();
  composite->setTaskName("xrf job");
  observer->setComposite(composite.get());
  observer->setStepCount(steps.size());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    auto task = xr::AsyncTaskBase::create<StepTask>(std::move(steps[i]), i);
    task->addDelegate(observer);
    composite->appendTailTask(task);
    queue.addOperation(task);
  }
  composite->addDelegate(observer);
  queue.addOperation(composite);

  RunOutcome outcome;
  {
    InterruptScope interrupt;
    composite->startTask();
    bool cancelSent = false;
    std::optional<std::chrono::steady_clock::time_point> compositeEnded;
    while (!observer->finished()) {
      xr::mainLoop().runUntil(
          [&] { return observer->finished() || (interrupt.interrupted() && !cancelSent); },
          kInterruptPollSeconds);
      if (interrupt.interrupted() && !cancelSent) {
        cancelSent = true;
        composite->cancel();
      }
      if (observer->compositeFinished()) {
        // The steps' last events follow the composite's at once; don't hang on a lost one.
        const auto now = std::chrono::steady_clock::now();
        if (!compositeEnded) compositeEnded = now;
        if (now - *compositeEnded > std::chrono::duration<double>(kStepEventsGraceSeconds)) break;
      }
    }
    // The composite's own finished handling (it leaves the task registry) comes after ours.
    xr::mainLoop().processPending();
  }
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  const auto& result = observer->result();
  if (result && result->isSuccess()) {
    outcome.kind = RunOutcome::Kind::Success;
    char done[64];
    std::snprintf(done, sizeof done, "done in %.2f s", outcome.seconds);
    bar.finish(done);
  } else {
    bar.clear();
    outcome.kind = result && result->resultIs("canceled") ? RunOutcome::Kind::Cancelled
                                                          : RunOutcome::Kind::Failed;
    outcome.description =
        result ? result->errorDescription().value_or("failed") : std::string("failed");
  }
  return outcome;
}

}  // namespace xrf
