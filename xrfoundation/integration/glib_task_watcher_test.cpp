#include "xrfoundation/integration/glib_task_watcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "xrfoundation/integration/glib_main_thread.h"
#include "xrfoundation/integration/testing/glib_loop_testing.h"
#include "xrfoundation/integration/testing/loop_testing.h"

namespace xr::glib {
namespace {

using ::xr::testing::kPatienceSeconds;

using CountTask = ValueTask<int>;

std::shared_ptr<CountTask> makeCount(int steps, bool untilCancelled,
                                     std::shared_ptr<xr::testing::SecondValueGate> gate) {
  return xr::testing::makeStepTask<int>(steps, untilCancelled, std::move(gate), [] { return 42; });
}

// The callbacks' user data: the story ("|" marks the test's own action) and the value.
struct Log : xr::testing::Story {
  int value = -1;    // the typed value seen in finished; -1: none
  int released = 0;  // destroy notify calls
  TaskWatcher* watcher = nullptr;
  std::function<void()> onFirstProgress;
};

const TaskWatcher::Callbacks kCallbacks = {
    [](gpointer log) { static_cast<Log*>(log)->add("started"); },
    [](double, gpointer data) {
      auto* log = static_cast<Log*>(data);
      log->add("progress");
      if (log->onFirstProgress) std::exchange(log->onFirstProgress, nullptr)();
    },
    [](const char* outcome, int, const char*, gpointer data) {
      auto* log = static_cast<Log*>(data);
      const int* value = log->watcher->value<int>();
      log->value = value != nullptr ? *value : -1;
      log->add(std::string("finished:") + outcome);
    },
};

void release(gpointer log) { ++static_cast<Log*>(log)->released; }

enum class OnFirstProgress { Nothing, CancelCall, CancelCancellable, Destroy, FinalizeTiedObject };

struct Case {
  const char* name;
  OnFirstProgress action;
  bool untilCancelled;
  bool cancelledBefore;     // the cancellable is cancelled before it is set
  const char* story;        // what the watcher delivered, in order
  int value = -1;           // the value seen in finished; -1: none
  bool ownContext = false;  // on a context whose loop runs on a thread of its own
};

constexpr Case kCases[] = {
    {"cancel()", OnFirstProgress::CancelCall, true, false,
     "started progress | progress finished:canceled"},
    {"cancellable", OnFirstProgress::CancelCancellable, true, false,
     "started progress | progress finished:canceled"},
    {"cancellable cancelled already", OnFirstProgress::Nothing, true, true, "finished:canceled"},
    {"watcher destroyed", OnFirstProgress::Destroy, false, false, "started progress |"},
    {"tied object finalized", OnFirstProgress::FinalizeTiedObject, false, false,
     "started progress |"},
    {"own context, runs to its end", OnFirstProgress::Nothing, false, false,
     "started progress finished:success", 42, true},
};

class GlibTaskWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(installGlibMainThread()); }

  xr::testing::GlibLoop loop_;
  OperationQueue queue_;
};

// The order of deliveries and the cut link are the core watcher's tests. Here, what is the
// GLib watcher's own, done on the first progress callback while the next value is on its way:
// cancel(), its cancellable, its destruction and its tied object's finalization; and a watcher
// on a context whose loop runs on a thread of its own receives there. The user data is let go
// exactly once; no observer of ours keeps the task.
TEST_F(GlibTaskWatcherTest, StopsWhenDestroyedCancelledOrUntied) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Log log;
    GMainContext* context = c.ownContext ? g_main_context_new() : nullptr;
    std::thread contextThread;
    std::atomic<bool> contextDone{context == nullptr};
    if (context) {
      xr::testing::Latch running(1);
      contextThread = std::thread([&] {
        log.thread = std::this_thread::get_id();
        running.count_down();
        xr::testing::GlibLoop{context}.runUntil([&] { return log.released == 1; },
                                                kPatienceSeconds);
        contextDone = true;
      });
      running.wait();
    }
    GObject* object = static_cast<GObject*>(g_object_new(G_TYPE_OBJECT, nullptr));
    GCancellable* cancellable = g_cancellable_new();
    if (c.cancelledBefore) g_cancellable_cancel(cancellable);
    auto gate = std::make_shared<xr::testing::SecondValueGate>();
    auto task = makeCount(50, c.untilCancelled, gate);
    std::weak_ptr<CountTask> weakTask = task;
    auto watcher = std::make_unique<TaskWatcher>(task, kCallbacks, &log, release, context);
    log.watcher = watcher.get();
    watcher->tieTo(object);
    watcher->setCancellable(cancellable);
    log.onFirstProgress = [&] {
      gate->firstTaken.count_down();
      if (c.action == OnFirstProgress::Nothing) return;
      gate->secondReported.wait();
      log.add("|");
      if (c.action == OnFirstProgress::CancelCall) watcher->cancel();
      if (c.action == OnFirstProgress::CancelCancellable) g_cancellable_cancel(cancellable);
      if (c.action == OnFirstProgress::Destroy) watcher.reset();
      if (c.action == OnFirstProgress::FinalizeTiedObject) g_clear_object(&object);
    };
    task->startOnQueue(queue_);
    const bool ended = loop_.runUntil(
        [&] { return !xr::testing::isRegistered(task.get()) && contextDone; }, kPatienceSeconds);
    if (contextThread.joinable()) contextThread.join();
    ASSERT_TRUE(ended);
    xr::testing::drain(loop_);

    EXPECT_EQ(log.story, c.story);
    EXPECT_EQ(log.value, c.value);
    EXPECT_FALSE(log.offThread);
    const bool stopped =
        c.action == OnFirstProgress::Destroy || c.action == OnFirstProgress::FinalizeTiedObject;
    EXPECT_EQ(log.released, stopped || (watcher && watcher->isFinished()) ? 1 : 0);
    watcher.reset();
    EXPECT_EQ(log.released, 1) << "the user data was let go more or less than once";
    g_clear_object(&object);
    g_object_unref(cancellable);
    if (context) g_main_context_unref(context);
    task.reset();
    xr::testing::drain(loop_);
    EXPECT_TRUE(weakTask.expired()) << "something still holds the task";
  }
}

}  // namespace
}  // namespace xr::glib
