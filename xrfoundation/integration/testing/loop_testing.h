// integration/testing/loop_testing.h: the main-thread guarantees checked inside a toolkit's
// real event loop, written once for the adapter tests, which run the step task of
// tasks/testing/task_testing.h too. A Loop runs the toolkit's loop on the calling thread (the
// installed main thread):
//   bool runUntil(const std::function<bool()>& done, double seconds);  // done() on the loop
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "xrfoundation/events/main_thread_posting.h"
#include "xrfoundation/platform/log.h"
#include "xrfoundation/platform/main_loop.h"
#include "xrfoundation/platform/main_thread.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/async_task_base.h"
#include "xrfoundation/tasks/multi_task.h"
#include "xrfoundation/tasks/task_watcher.h"
#include "xrfoundation/tasks/testing/task_testing.h"

namespace xr::testing {

// Generous: two cores shared by many builds.
constexpr double kPatienceSeconds = 60.0;

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

// The application quits while a task runs, observed on the loop's thread every call and
// coalesced: once the loop has ended for good and the task's work ends, the task leaves the
// registry, and nothing of ours keeps the observers or the task alive. session(observe)
// installs the adapter, calls observe(loop) with a Loop of the toolkit (which starts the task and
// runs the loop until both observers have had progress), then ends the application's loop for
// good: destroys the application object, or uninstalls the adapter.
template <class Session>
void expectTaskOutlivingTheLoopLetsGo(Session session) {
  OperationQueue queue;
  auto task = makeStepTask(2, true);
  std::weak_ptr<Recorder> weakEvery, weakNewest;
  session([&](auto& loop) {
    auto every = loopRecorder();
    auto newest = loopRecorder();
    weakEvery = every;
    weakNewest = newest;
    ASSERT_TRUE(startObservedUntilProgress(loop, *task, queue, every, newest));
  });
  if (::testing::Test::HasFatalFailure()) return;
  task->cancel();  // the work ends now, its finished event posted to a loop that is gone
  task->waitUntilFinished();
  const IAsyncTask* const address = task.get();
  std::weak_ptr<ValueTask<int>> weakTask = task;
  task.reset();
  // The dropped calls let go on the worker's last step and on the library's timer thread.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!(weakTask.expired() && weakEvery.expired() && weakNewest.expired()) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(isRegistered(address)) << "the task stayed registered";
  EXPECT_TRUE(weakTask.expired()) << "something of ours still holds the task";
  EXPECT_TRUE(weakEvery.expired()) << "a dropped delivery still holds an observer";
  EXPECT_TRUE(weakNewest.expired()) << "a dropped coalesced delivery still holds an observer";
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

// One task's story as its observer saw it: a start first, progress that never goes back,
// exactly one finished event, a success, and nothing after it.
inline void expectStory(const std::vector<Recorder::Event>& events, const IAsyncTask* task,
                        const std::string& what) {
  std::vector<Recorder::Event> story;
  for (const auto& e : events)
    if (e.task == task) story.push_back(e);
  ASSERT_FALSE(story.empty()) << what;
  EXPECT_EQ(story.front().kind, "start") << what;
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
      EXPECT_EQ(e.word, "success") << what;
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
  std::vector<std::shared_ptr<ValueTask<int>>> subs;
  for (int i = 0; i < 3; ++i) {
    subs.push_back(makeStepTask(4));
    subs.back()->setCalcProgress(true);
    subs.back()->addDelegate(recorder);
    ASSERT_TRUE(multi->appendTailTask(subs.back()));
    queue.addOperation(subs.back());
  }
  multi->addDelegate(recorder);
  queue.addOperation(multi);
  auto lone = makeStepTask(5);
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
  expectStory(events, multi.get(), "composite");
  expectStory(events, lone.get(), "lone task");
  for (std::size_t i = 0; i < subs.size(); ++i)
    expectStory(events, subs[i].get(), "sub-task " + std::to_string(i));
  double compositeProgress = -1;
  for (const auto& e : events)
    if (e.task == multi.get() && e.kind == "progress") compositeProgress = e.progress;
  EXPECT_DOUBLE_EQ(compositeProgress, 1.0);
  EXPECT_DOUBLE_EQ(multi->progress(), 1.0);  // the task's own handling ran on the loop too
}

// A target for prepared calls; the loop's thread counts the calls and keeps the last one's text.
struct CallTarget {
  explicit CallTarget(std::thread::id loopThread) : loopThread(loopThread) {}
  void take(int number, std::shared_ptr<std::string> text) {
    allOnLoop = allOnLoop && std::this_thread::get_id() == loopThread;
    last = std::to_string(number) + " " + (text ? *text : "(null)");
    ++calls;
  }
  const std::thread::id loopThread;
  std::atomic<int> calls{0};
  std::atomic<bool> allOnLoop{true};
  std::string last;  // read once calls shows the call
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
    if (target->calls != 1) ++lateReturns;
    workerDone = true;
  });
  const bool finished = loop.runUntil(
      [&] { return workerDone.load() && receivedCount.load() == kPosts; }, kPatienceSeconds);
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(lateReturns.load(), 0) << "a waiting post returned before it was delivered";
  ASSERT_EQ(received.size(), static_cast<std::size_t>(kPosts));
  for (int i = 0; i < kPosts; ++i) ASSERT_EQ(received[i], i) << "delivery out of posting order";
  EXPECT_EQ(target->last, "7 seven");

  // From the loop's own thread.
  bool ranAtOnce = false, deferred = false, notifiedAtOnce = false, adapterRanAtOnce = false;
  mainThread().post(
      [&] {
        bool ran = false;
        mainThread().post([&ran] { ran = true; }, true);
        adapterRanAtOnce = ran;
        const int before = target->calls;
        invokeOnMainThreadWaitUntilDone(call, true);
        ranAtOnce = target->calls == before + 1;
        invokeOnMainThreadWaitUntilDone(call, false);
        deferred = target->calls == before + 1;
        postNotificationOnMainThreadWithName(center, name, std::make_shared<int>(kPosts), nullptr,
                                             false);
        notifiedAtOnce = receivedCount.load() == kPosts + 1;
      },
      false);
  ASSERT_TRUE(loop.runUntil([&] { return target->calls == 3; }, kPatienceSeconds));
  EXPECT_TRUE(adapterRanAtOnce) << "the adapter deferred a waiting post on the loop's thread";
  EXPECT_TRUE(ranAtOnce) << "a waiting post on the loop's thread did not run at once";
  EXPECT_TRUE(deferred) << "a post on the loop's thread that does not wait ran at once";
  EXPECT_TRUE(notifiedAtOnce) << "a notification posted on the loop's thread was deferred";
  EXPECT_TRUE(target->allOnLoop);
  EXPECT_EQ(offLoop.load(), 0);
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

// A worker keeps posting, some posts waiting, while the loop runs; then end() ends the
// application's loop for good (destroys the application object) with calls still queued and
// the worker still posting: the calls that ran did so on the loop's thread in posting order,
// the rest were dropped, none was lost or let go twice, and the waiting worker was released.
template <class Loop, class End>
void expectPostingThroughTheEndIsNeverStuckNorRunTwice(Loop& loop, End end) {
  const auto loopThread = std::this_thread::get_id();
  std::vector<int> ran;  // on the loop's thread only
  std::atomic<int> offLoop{0}, posted{0}, released{0};
  std::atomic<bool> ended{false};
  std::thread worker([&] {
    int afterEnd = 0;
    for (int i = 0; afterEnd < 50 && i < 1000000; ++i) {
      postNumberedCall(i, i % 5 == 0, ran, offLoop, released, loopThread);
      ++posted;
      if (ended) ++afterEnd;
    }
  });
  const bool running = loop.runUntil([&] { return posted.load() >= 200; }, kPatienceSeconds);
  end();
  ended = true;
  worker.join();
  ASSERT_TRUE(running);
  EXPECT_EQ(released.load(), posted.load()) << "a call was lost or let go twice";
  EXPECT_EQ(offLoop.load(), 0);
  ASSERT_GE(ran.size(), 1u);
  EXPECT_LT(ran.size(), static_cast<std::size_t>(posted.load()));
  for (std::size_t i = 0; i < ran.size(); ++i) ASSERT_EQ(ran[i], static_cast<int>(i));
}

// Calls that reached the library's own loop before the install are handed over and run first,
// on the loop's thread. session(run) makes the application, installs the adapter and calls
// run(loop) with its loop.
template <class Session>
void expectCallsPostedBeforeTheInstallRunFirst(Session session) {
  std::vector<std::string> order;
  std::vector<std::thread::id> threads;
  auto note = [&](const char* what) {
    order.push_back(what);
    threads.push_back(std::this_thread::get_id());
  };
  mainLoop().post([&] { note("early"); }, false);
  session([&](auto& loop) {
    mainThread().post([&] { note("late"); }, false);
    ASSERT_TRUE(loop.runUntil([&] { return order.size() == 2; }, kPatienceSeconds));
  });
  EXPECT_EQ(order, (std::vector<std::string>{"early", "late"}));
  for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
}

// Once `adapter` is detached (by detach(): adapter.detach() unless given), a queued call and a
// later one are let go unrun, a waiting worker is released, turning the loop (turnLoop(), on the
// adapter's thread, which is the caller's) runs neither, and the adapter's thread itself still
// runs a waiting call at once.
template <class Adapter, class TurnLoop, class Detach>
void expectDetachDropsQueuedAndLaterCalls(Adapter& adapter, TurnLoop turnLoop, Detach detach) {
  std::atomic<int> released{0}, ranCount{0};
  EXPECT_TRUE(adapter.attached());
  auto probe = std::make_shared<DropProbe>(released);
  adapter.post([probe, &ranCount] { ++ranCount; }, false);
  probe.reset();
  detach();
  EXPECT_FALSE(adapter.attached());
  EXPECT_EQ(released.load(), 1) << "the queued call was not let go at the detach";

  auto waiting = std::async(std::launch::async, [&] {
    auto late = std::make_shared<DropProbe>(released);
    adapter.post([late, &ranCount] { ++ranCount; }, true);
  });
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(30)), std::future_status::ready)
      << "a waiting post to a detached adapter blocked";
  EXPECT_EQ(released.load(), 2);
  turnLoop();
  EXPECT_EQ(ranCount.load(), 0);
  bool ranHere = false;
  adapter.post([&] { ranHere = true; }, true);
  EXPECT_TRUE(ranHere);
}
template <class Adapter, class TurnLoop>
void expectDetachDropsQueuedAndLaterCalls(Adapter& adapter, TurnLoop turnLoop) {
  expectDetachDropsQueuedAndLaterCalls(adapter, turnLoop, [&] { adapter.detach(); });
}

// A posted call that throws is dropped, and the calls posted after it still run.
template <class Loop>
void expectThrowingCallDroppedAndLoopGoesOn(Loop& loop) {
  bool after = false;
  mainThread().post([] { throw std::runtime_error("posted call failed"); }, false);
  mainThread().post([&] { after = true; }, false);
  EXPECT_TRUE(loop.runUntil([&] { return after; }, kPatienceSeconds));
}

// Counts the library's log lines equal to `text` while it lives. (The toolkit tests link the
// whole library, so they count through its public log handler.)
class LogLineCounter {
 public:
  explicit LogLineCounter(std::string text) : text_(std::move(text)) {
    previous_ = setLogHandler([this](LogLevel, std::string_view, std::string_view line) {
      if (line == text_) ++count_;
    });
  }
  ~LogLineCounter() { setLogHandler(previous_); }
  LogLineCounter(const LogLineCounter&) = delete;
  LogLineCounter& operator=(const LogLineCounter&) = delete;
  int count() const { return count_.load(); }

 private:
  const std::string text_;
  std::atomic<int> count_{0};
  LogHandler previous_;
};

// The library's task watcher, which needs no toolkit, follows a task from its start to its end,
// value included, on the loop's thread.
template <class Loop>
void expectTaskWatcherReportsOnLoop(Loop& loop) {
  OperationQueue queue;
  Story log;
  int value = -1;
  TaskWatcher watcher({
      .started = [&] { log.add("started"); },
      .progressChanged = [&](double) { log.add("progress"); },
      .finished =
          [&](const TaskOutcome& outcome) {
            const int* got = outcome.value<int>();
            value = got != nullptr ? *got : -1;
            log.add("finished:" + outcome.word);
          },
  });
  auto task = makeStepTask<int>(20, false, nullptr, [] { return 42; });
  watcher.setTask(task);
  task->startOnQueue(queue);
  ASSERT_TRUE(loop.runUntil([&] { return watcher.isFinished(); }, kPatienceSeconds));
  EXPECT_EQ(log.story, "started progress finished:success");
  EXPECT_EQ(value, 42);
  EXPECT_FALSE(log.offThread);
}

}  // namespace xr::testing

// Defines the checks every adapter passes as tests of Fixture, whose `loop_` runs the toolkit's
// loop, with Where naming the loop's thread in the test names (LoopThread, ApplicationThread).
#define XR_LOOP_ADAPTER_TESTS(Fixture, Where)                              \
  TEST_F(Fixture, NotificationsAndPreparedCallsRunOnThe##Where##InOrder) { \
    ::xr::testing::expectPostsDeliveredOnLoop(loop_);                      \
  }                                                                        \
  TEST_F(Fixture, ThrowingCallIsDroppedAndTheLoopGoesOn) {                 \
    ::xr::testing::expectThrowingCallDroppedAndLoopGoesOn(loop_);          \
  }                                                                        \
  TEST_F(Fixture, TasksAndCompositeAreObservedOnThe##Where##InOrder) {     \
    ::xr::testing::expectCompositeObservedOnLoop(loop_);                   \
  }                                                                        \
  TEST_F(Fixture, TaskWatcherReportsOnThe##Where) {                        \
    ::xr::testing::expectTaskWatcherReportsOnLoop(loop_);                  \
  }
