// integration/testing/loop_testing.h: the main-thread guarantees checked inside a toolkit's
// real event loop, written once for the Qt and the GLib adapter tests. A Loop runs the toolkit's
// loop on the calling thread (the installed main thread):
//   bool runUntil(const std::function<bool()>& done, double seconds);  // done() on the loop
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "xrfoundation/events/main_thread_posting.h"
#include "xrfoundation/platform/main_thread.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/async_task_base.h"
#include "xrfoundation/tasks/multi_task.h"
#include "xrfoundation/tasks/testing/task_testing.h"

namespace xr::testing {

// Generous: two cores shared by many builds.
constexpr double kPatienceSeconds = 60.0;

// Reports `steps` progress values a millisecond apart and succeeds; or, with `untilCancelled`,
// reports one value and then runs until it is cancelled. Ends "canceled" when cancelled.
class StepTask : public AsyncTaskBase {
 public:
  StepTask(Token token, int steps, bool untilCancelled = false)
      : AsyncTaskBase(token), steps_(steps), untilCancelled_(untilCancelled) {}

 protected:
  void main() override {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int i = 1; untilCancelled_ || i <= steps_; ++i) {
      if (isCancelled() || cancelState()) {
        setFinishedResult(false);
        setTaskResult(TaskResult::taskCancelled());
        return;
      }
      if (!untilCancelled_ || i == 1) fireProgressEvent(static_cast<double>(i) / steps_);
      if (std::chrono::steady_clock::now() > giveUp) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    setTaskResult(TaskResult::taskSuccessed());
  }

 private:
  const int steps_;
  const bool untilCancelled_;
};

// A recorder whose events count as on the main thread when they come on the calling thread,
// the loop's.
inline std::shared_ptr<Recorder> loopRecorder() {
  return std::make_shared<Recorder>([loopThread = std::this_thread::get_id()] {
    return std::this_thread::get_id() == loopThread;
  });
}

// Starts task on queue, observed on the loop's thread by every (every call) and by newest
// (coalesced), and runs the loop until both have had progress; false, with the task cancelled
// so that it ends, when they have not.
template <class Loop>
bool startObservedUntilProgress(Loop& loop, AsyncTaskBase& task, OperationQueue& queue,
                                const std::shared_ptr<Recorder>& every,
                                const std::shared_ptr<Recorder>& newest) {
  task.addDelegate(every);
  task.addDelegateCoalesced(newest);
  task.startOnQueue(queue);
  const bool reported = loop.runUntil(
      [&] { return !every->events("progress").empty() && !newest->events("progress").empty(); },
      kPatienceSeconds);
  if (!reported) task.cancel();
  return reported;
}

// Fills multi with three step tasks observed by recorder and queues them and then multi;
// the first sub-task steps until cancelled when firstUntilCancelled.
inline void queueComposite(const std::shared_ptr<MultiTask>& multi,
                           const std::shared_ptr<Recorder>& recorder, OperationQueue& queue,
                           int steps, bool firstUntilCancelled,
                           std::vector<std::shared_ptr<StepTask>>& subs) {
  for (int i = 0; i < 3; ++i) {
    auto sub = AsyncTaskBase::create<StepTask>(steps, firstUntilCancelled && i == 0);
    sub->setCalcProgress(true);
    sub->addDelegate(recorder);
    ASSERT_TRUE(multi->appendTailTask(sub));
    queue.addOperation(sub);
    subs.push_back(sub);
  }
  multi->addDelegate(recorder);
  queue.addOperation(multi);
}

// Runs the loop until every call posted so far, and every call those post in turn, has run.
template <class Loop>
void drain(Loop& loop, int rounds = 3) {
  for (int i = 0; i < rounds; ++i) {
    auto ran = std::make_shared<std::atomic<bool>>(false);
    mainThread().post([ran] { *ran = true; }, false);
    ASSERT_TRUE(loop.runUntil([ran] { return ran->load(); }, kPatienceSeconds));
  }
}

// One task's story as its observer saw it: a start first when `started`, progress that never
// goes back, exactly one finished event, with `word`, and nothing after it.
inline void expectStory(const std::vector<Recorder::Event>& events, const IAsyncTask* task,
                        const std::string& what, bool started, const std::string& word) {
  std::vector<Recorder::Event> story;
  for (const auto& e : events)
    if (e.task == task) story.push_back(e);
  ASSERT_FALSE(story.empty()) << what;
  EXPECT_EQ(started, story.front().kind == "start") << what;
  double last = 0;
  std::size_t finishedCount = 0;
  for (std::size_t i = 0; i < story.size(); ++i) {
    const auto& e = story[i];
    EXPECT_TRUE(e.onMain) << what << ": " << e.kind << " off the loop's thread";
    EXPECT_FALSE(e.overlapped) << what << ": " << e.kind << " ran inside another callback";
    if (e.kind == "start") {
      EXPECT_EQ(i, 0u) << what;
    }
    if (e.kind == "progress") {
      EXPECT_GE(e.progress, last) << what << ": progress went back";
      last = e.progress;
    }
    EXPECT_EQ(finishedCount, 0u) << what << ": " << e.kind << " after finished";
    if (e.kind == "finished") {
      ++finishedCount;
      EXPECT_EQ(e.word, word) << what;
    }
    EXPECT_NE(e.kind, "index") << what;
  }
  EXPECT_EQ(finishedCount, 1u) << what;
}

// A sequential composite of three counting sub-tasks and a lone task, all observed by one
// main-thread observer, run from the toolkit's loop to their end.
template <class Loop>
void expectCompositeObservedOnLoop(Loop& loop) {
  auto recorder = loopRecorder();
  OperationQueue queue;
  auto multi = AsyncTaskBase::create<MultiTask>();
  std::vector<std::shared_ptr<StepTask>> subs;
  ASSERT_NO_FATAL_FAILURE(queueComposite(multi, recorder, queue, 4, false, subs));
  auto lone = AsyncTaskBase::create<StepTask>(5);
  lone->addDelegate(recorder);
  queue.addOperation(lone);

  multi->startTask();
  lone->startTask();
  ASSERT_TRUE(loop.runUntil(
      [&] {
        bool any = isRegistered(multi.get()) || isRegistered(lone.get());
        for (const auto& sub : subs) any = any || isRegistered(sub.get());
        return !any;
      },
      kPatienceSeconds));
  drain(loop);  // anything still queued is delivered, and checked below

  const auto events = recorder->events();
  expectStory(events, multi.get(), "composite", true, "success");
  expectStory(events, lone.get(), "lone task", false, "success");
  for (std::size_t i = 0; i < subs.size(); ++i)
    expectStory(events, subs[i].get(), "sub-task " + std::to_string(i), false, "success");
  double compositeProgress = -1;
  for (const auto& e : events)
    if (e.task == multi.get() && e.kind == "progress") compositeProgress = e.progress;
  EXPECT_DOUBLE_EQ(compositeProgress, 1.0);
  EXPECT_DOUBLE_EQ(multi->progress(), 1.0);  // the task's own handling ran on the loop too
}

// A composite cancelled from the loop while its first sub-task runs: every task ends
// "canceled" with exactly one finished event, the unbegun sub-tasks included.
template <class Loop>
void expectCancelledCompositeFinishesEachTaskOnce(Loop& loop) {
  auto recorder = loopRecorder();
  OperationQueue queue;
  auto multi = AsyncTaskBase::create<MultiTask>();
  std::vector<std::shared_ptr<StepTask>> subs;
  ASSERT_NO_FATAL_FAILURE(queueComposite(multi, recorder, queue, 10, true, subs));
  std::weak_ptr<MultiTask> weakMulti = multi;
  const IAsyncTask* first = subs[0].get();
  recorder->hook = [weakMulti, first](const Recorder::Event& e) {
    if (e.kind == "progress" && e.task == first)
      if (auto m = weakMulti.lock()) m->cancel();
  };

  multi->startTask();
  ASSERT_TRUE(loop.runUntil(
      [&] {
        bool any = isRegistered(multi.get());
        for (const auto& sub : subs) any = any || isRegistered(sub.get());
        return !any;
      },
      kPatienceSeconds));
  drain(loop);

  const auto events = recorder->events();
  expectStory(events, multi.get(), "composite", true, "canceled");
  for (std::size_t i = 0; i < subs.size(); ++i)
    expectStory(events, subs[i].get(), "sub-task " + std::to_string(i), false, "canceled");
}

// A target for prepared calls that notes each call and the thread it ran on.
class CallTarget {
 public:
  explicit CallTarget(std::thread::id loopThread) : loopThread_(loopThread) {}
  void take(int number, std::shared_ptr<std::string> text) {
    std::lock_guard lock(mutex_);
    ++calls_;
    allOnLoop_ = allOnLoop_ && std::this_thread::get_id() == loopThread_;
    last_ = std::to_string(number) + " " + (text ? *text : "(null)");
  }
  int calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  bool allOnLoop() {
    std::lock_guard lock(mutex_);
    return allOnLoop_;
  }
  std::string last() {
    std::lock_guard lock(mutex_);
    return last_;
  }

 private:
  const std::thread::id loopThread_;
  std::mutex mutex_;
  int calls_ = 0;          // guarded by mutex_
  bool allOnLoop_ = true;  // guarded by mutex_
  std::string last_;       // guarded by mutex_
};

// Notifications and a prepared call posted from a worker, some waiting, then from the loop
// itself: delivered on the loop's thread, in posting order, a waiting post only returning once
// delivered; on the loop a waiting post runs at once and one that does not wait runs later.
template <class Loop>
void expectPostsDeliveredOnLoop(Loop& loop) {
  constexpr int kPosts = 200;
  const std::string name = "xr.integration.posted";
  const auto loopThread = std::this_thread::get_id();
  NotificationCenter& center = NotificationCenter::defaultCenter();
  std::vector<int> received;  // on the loop's thread only
  std::atomic<int> receivedCount{0};
  std::atomic<int> offLoop{0};
  NotificationRegistration registration = center.addObserver(name, [&](const Notification& n) {
    if (std::this_thread::get_id() != loopThread) ++offLoop;
    auto number = std::static_pointer_cast<int>(n.object());
    received.push_back(number ? *number : -1);
    ++receivedCount;
  });
  auto target = std::make_shared<CallTarget>(loopThread);
  auto call = invocationWithTarget(target, &CallTarget::take, true, 7,
                                   std::make_shared<std::string>("seven"));
  ASSERT_NE(call, nullptr);

  std::atomic<int> lateReturns{0};
  std::atomic<bool> workerDone{false};
  std::thread worker([&] {
    for (int i = 0; i < kPosts; ++i) {
      const bool wait = i % 10 == 9;
      postNotificationOnMainThreadWithName(center, name, std::make_shared<int>(i), nullptr, wait);
      if (wait && receivedCount.load() != i + 1) ++lateReturns;
    }
    invokeOnMainThreadWaitUntilDone(call, true);
    if (target->calls() != 1) ++lateReturns;
    workerDone = true;
  });
  const bool finished = loop.runUntil(
      [&] { return workerDone.load() && receivedCount.load() == kPosts; }, kPatienceSeconds);
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(lateReturns.load(), 0) << "a waiting post returned before it was delivered";
  ASSERT_EQ(received.size(), static_cast<std::size_t>(kPosts));
  for (int i = 0; i < kPosts; ++i) ASSERT_EQ(received[i], i) << "delivery out of posting order";
  EXPECT_EQ(target->last(), "7 seven");

  // From the loop's own thread.
  bool ranAtOnce = false, deferred = false, notifiedAtOnce = false, adapterRanAtOnce = false;
  mainThread().post(
      [&] {
        bool ran = false;
        mainThread().post([&ran] { ran = true; }, true);
        adapterRanAtOnce = ran;
        const int before = target->calls();
        invokeOnMainThreadWaitUntilDone(call, true);
        ranAtOnce = target->calls() == before + 1;
        invokeOnMainThreadWaitUntilDone(call, false);
        deferred = target->calls() == before + 1;
        postNotificationOnMainThreadWithName(center, name, std::make_shared<int>(kPosts), nullptr,
                                             false);
        notifiedAtOnce = receivedCount.load() == kPosts + 1;
      },
      false);
  ASSERT_TRUE(loop.runUntil([&] { return target->calls() == 3; }, kPatienceSeconds));
  EXPECT_TRUE(adapterRanAtOnce) << "the adapter deferred a waiting post on the loop's thread";
  EXPECT_TRUE(ranAtOnce) << "a waiting post on the loop's thread did not run at once";
  EXPECT_TRUE(deferred) << "a post on the loop's thread that does not wait ran at once";
  EXPECT_TRUE(notifiedAtOnce) << "a notification posted on the loop's thread was deferred";
  EXPECT_TRUE(target->allOnLoop());
  EXPECT_EQ(offLoop.load(), 0);
}

// Several workers at once, each making waiting posts one after another: each post has run, on
// the loop's thread, when it returns, and each worker's calls run in its order.
template <class Loop>
void expectWaitingPostsFromSeveralWorkers(Loop& loop) {
  constexpr int kWorkers = 4;
  constexpr int kRounds = 250;
  const auto loopThread = std::this_thread::get_id();
  std::vector<std::vector<int>> seen(kWorkers);  // seen[w]: by worker w's calls only
  std::atomic<int> offLoop{0}, lateReturns{0}, workersDone{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      for (int r = 0; r < kRounds; ++r) {
        mainThread().post(
            [&, w, r] {
              if (std::this_thread::get_id() != loopThread) ++offLoop;
              seen[w].push_back(r);
            },
            true);
        if (seen[w].size() != static_cast<std::size_t>(r + 1)) ++lateReturns;
      }
      ++workersDone;
    });
  }
  const bool finished =
      loop.runUntil([&] { return workersDone.load() == kWorkers; }, kPatienceSeconds);
  for (auto& worker : workers) worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(offLoop.load(), 0);
  EXPECT_EQ(lateReturns.load(), 0);
  for (int w = 0; w < kWorkers; ++w) {
    ASSERT_EQ(seen[w].size(), static_cast<std::size_t>(kRounds)) << "worker " << w;
    for (int r = 0; r < kRounds; ++r) ASSERT_EQ(seen[w][r], r) << "worker " << w;
  }
}

// Counts how often posted calls were let go, run or not.
struct DropProbe {
  explicit DropProbe(std::atomic<int>& released) : released_(released) {}
  ~DropProbe() { ++released_; }
  std::atomic<int>& released_;
};

// Posts call number i, waiting for it when `wait`: run, it appends i to ran (touched on the
// loop's thread only) and counts itself in offLoop when off loopThread; it holds a DropProbe
// that counts in released when the call is let go, run or not.
inline void postNumberedCall(int i, bool wait, std::vector<int>& ran, std::atomic<int>& offLoop,
                             std::atomic<int>& released, std::thread::id loopThread) {
  auto probe = std::make_shared<DropProbe>(released);
  mainThread().post(
      [&ran, &offLoop, probe, i, loopThread] {
        if (std::this_thread::get_id() != loopThread) ++offLoop;
        ran.push_back(i);
      },
      wait);
}

// A posted call that throws is dropped, and the calls posted after it still run.
template <class Loop>
void expectThrowingCallDroppedAndLoopGoesOn(Loop& loop) {
  bool after = false;
  mainThread().post([] { throw std::runtime_error("posted call failed"); }, false);
  mainThread().post([&] { after = true; }, false);
  EXPECT_TRUE(loop.runUntil([&] { return after; }, kPatienceSeconds));
}

}  // namespace xr::testing

// Defines the checks above as tests of Fixture, whose `loop_` runs the toolkit's loop, with
// Where naming the loop's thread in the test names (LoopThread, ApplicationThread).
#define XR_LOOP_ADAPTER_TESTS(Fixture, Where)                              \
  TEST_F(Fixture, TasksAndCompositeAreObservedOnThe##Where##InOrder) {     \
    ::xr::testing::expectCompositeObservedOnLoop(loop_);                   \
  }                                                                        \
  TEST_F(Fixture, CancelledCompositeFinishesEveryTaskOnce) {               \
    ::xr::testing::expectCancelledCompositeFinishesEachTaskOnce(loop_);    \
  }                                                                        \
  TEST_F(Fixture, NotificationsAndPreparedCallsRunOnThe##Where##InOrder) { \
    ::xr::testing::expectPostsDeliveredOnLoop(loop_);                      \
  }                                                                        \
  TEST_F(Fixture, WaitingPostsFromSeveralWorkersReturnAfterTheirCallRan) { \
    ::xr::testing::expectWaitingPostsFromSeveralWorkers(loop_);            \
  }                                                                        \
  TEST_F(Fixture, ThrowingCallIsDroppedAndTheLoopGoesOn) {                 \
    ::xr::testing::expectThrowingCallDroppedAndLoopGoesOn(loop_);          \
  }
