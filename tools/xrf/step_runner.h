// tools/xrf/step_runner.h: runs a job of the tool as one sequential composite task (MultiTask)
// of steps on an operation queue, the way an application runs its work: the steps run on
// worker threads, their progress and ends come back as task events on the main loop, which
// draws a progress bar on standard error when it is a terminal. Ctrl-C (SIGINT) during the run
// cancels the composite; a second Ctrl-C ends the process at once.
//
// runSteps() is called on the main thread (the thread that runs main()), one job at a time.
#pragma once
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace xrf {

// What a step's work sees of its task. Used by the step's worker thread only.
class StepContext {
 public:
  // True once the job is being cancelled; a step checks it between units of work and then
  // returns false.
  bool cancelled() const;
  // The step's share done, 0.0 to 1.0; passed on to the bar when it has moved visibly.
  void progress(double fraction);
  // One line shown when the step has succeeded (see RunOptions::onStepDone).
  void setSummary(std::string summary) { summary_ = std::move(summary); }
  // A note printed on standard error as "xrf: warning: TEXT" when the step ends.
  void warn(std::string text) { warnings_.push_back(std::move(text)); }
  // Records why the step failed; returns false for `return context.fail("...")`.
  bool fail(std::string description);

 private:
  friend class StepTask;
  std::function<bool()> cancelled_;
  std::function<void(double)> report_;
  double reported_ = -1.0;
  std::string summary_;
  std::vector<std::string> warnings_;
  std::string failure_;
};

struct Step {
  std::string title;                       // "Compose vCards"; shown beside the bar
  bool countsInProgress = true;            // false: the step takes no share of the bar
  std::function<bool(StepContext&)> work;  // true on success
};

struct RunOptions {
  // None: the bar is shown when standard error is a terminal.
  std::optional<bool> progressBar;
  // Called on the main thread, with the bar cleared, after each step that succeeded.
  std::function<void(std::size_t index, const std::string& title, const std::string& summary)>
      onStepDone;
};

struct RunOutcome {
  enum class Kind { Success, Failed, Cancelled };
  Kind kind = Kind::Failed;
  std::string description;  // the failed step's "Title: reason"
  double seconds = 0;       // from start to the composite's finished event
};

RunOutcome runSteps(std::vector<Step> steps, const RunOptions& options = {});

// Whether standard error is a terminal (the progress bar's condition).
bool standardErrorIsTerminal();

}  // namespace xrf
