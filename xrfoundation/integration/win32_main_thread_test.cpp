#include "xrfoundation/integration/win32_main_thread.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "xrfoundation/integration/testing/loop_testing.h"
#include "xrfoundation/platform/main_loop.h"

namespace xr {
namespace {

using testing::DropProbe;
using testing::kPatienceSeconds;

// Runs the thread's message loop, as an application's GetMessage loop does, until done() holds
// (looked at after each message; a thread timer brings one every few milliseconds) or time
// runs out. A WM_QUIT ends it early and is put back for the caller's own loop.
struct Win32Loop {
  bool runUntil(const std::function<bool()>& done, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, nullptr);
    MSG message;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
        PostQuitMessage(static_cast<int>(message.wParam));
        break;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    KillTimer(nullptr, timer);
    return done();
  }
};

// Waits on a worker until `ready` holds; false when it never does.
bool waitOnWorker(const std::function<bool()>& ready) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A modal dialog box from a template in memory; its procedure keeps the dialog's handle.
class ModalDialog {
 public:
  // Runs the dialog's modal loop until EndDialog(); answers its result (-1 when the dialog
  // could not be made).
  INT_PTR run() {
    struct {
      DLGTEMPLATE dialog;
      WORD menu, windowClass, title;
    } dialogTemplate = {};
    dialogTemplate.dialog.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
    dialogTemplate.dialog.cx = 100;
    dialogTemplate.dialog.cy = 40;
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &dialogTemplate.dialog, nullptr,
                                   procedure, reinterpret_cast<LPARAM>(this));
  }
  // The dialog while its loop runs; null before and after.
  HWND window() const { return window_.load(); }
  void end(INT_PTR result) { EndDialog(window_.load(), result); }

 private:
  static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      reinterpret_cast<ModalDialog*>(lParam)->window_ = window;
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      return TRUE;
    }
    if (message == WM_DESTROY) {
      auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
      if (self != nullptr) self->window_ = nullptr;
    }
    return FALSE;
  }

  std::atomic<HWND> window_{nullptr};
};

class Win32MainThreadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(installWin32MainThread()); }
  void TearDown() override { uninstallWin32MainThread(); }
  Win32Loop loop_;
};

XR_LOOP_ADAPTER_TESTS(Win32MainThreadTest, UiThread)

// Eight workers post at once, every seventh post waiting: every call runs once, on the UI
// thread, each worker's calls in its posting order, and a waiting post returns only after its
// call has run.
TEST_F(Win32MainThreadTest, ManyThreadsPostingAreServedInEachThreadsOrder) {
  constexpr int kThreads = 8, kPosts = 500;
  const auto uiThread = std::this_thread::get_id();
  std::vector<std::vector<int>> ran(kThreads);  // on the UI thread only
  std::atomic<int> total{0}, offUi{0}, earlyReturns{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.emplace_back([&, t] {
      for (int i = 0; i < kPosts; ++i) {
        const bool wait = i % 7 == 6;
        mainThread().post(
            [&, t, i] {
              if (std::this_thread::get_id() != uiThread) ++offUi;
              ran[t].push_back(i);
              ++total;
            },
            wait);
        if (wait && static_cast<int>(ran[t].size()) != i + 1) ++earlyReturns;
      }
    });
  const bool all =
      loop_.runUntil([&] { return total.load() == kThreads * kPosts; }, kPatienceSeconds);
  for (auto& worker : workers) worker.join();
  ASSERT_TRUE(all) << total.load() << " of " << kThreads * kPosts << " calls ran";
  EXPECT_EQ(offUi.load(), 0);
  EXPECT_EQ(earlyReturns.load(), 0) << "a waiting post returned before its call had run";
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(ran[t].size(), static_cast<std::size_t>(kPosts));
    for (int i = 0; i < kPosts; ++i) ASSERT_EQ(ran[t][i], i) << "worker " << t;
  }
}

// Calls run inside a dialog box's modal loop: a worker's posts, a waiting one among them, reach
// the UI thread while the dialog is up, and the last one ends the dialog.
TEST_F(Win32MainThreadTest, CallsRunWhileADialogBoxIsUp) {
  ModalDialog dialog;
  std::vector<std::string> ran;  // on the UI thread only
  std::atomic<bool> waitedCallRan{false};
  std::thread worker([&] {
    if (!waitOnWorker([&] { return dialog.window() != nullptr; })) return;
    mainThread().post([&] { ran.push_back(dialog.window() ? "first in dialog" : "first"); }, false);
    mainThread().post([&] { ran.push_back(dialog.window() ? "waited in dialog" : "waited"); },
                      true);
    waitedCallRan = true;
    mainThread().post([&] { dialog.end(7); }, false);
  });
  const INT_PTR result = dialog.run();
  worker.join();
  ASSERT_EQ(result, 7) << "the dialog was not ended by the posted call";
  EXPECT_TRUE(waitedCallRan);
  EXPECT_EQ(ran, (std::vector<std::string>{"first in dialog", "waited in dialog"}));
}

// A posted call that runs a modal loop itself: the calls queued behind it before its loop
// started run inside that loop, in posting order, with nothing else posted to wake it; the last
// one ends the dialog. Should they not run, a worker ends the dialog after a while instead.
TEST_F(Win32MainThreadTest, CallsQueuedBehindACallThatRunsADialogRunInsideIt) {
  ModalDialog dialog;
  std::vector<std::string> ran;  // on the UI thread only
  INT_PTR result = 0;
  mainThread().post([&] { result = dialog.run(); }, false);
  mainThread().post([&] { ran.push_back(dialog.window() ? "first, in dialog" : "first"); }, false);
  mainThread().post([&] { ran.push_back(dialog.window() ? "second, in dialog" : "second"); },
                    false);
  mainThread().post([&] { dialog.end(3); }, false);
  std::atomic<bool> stuck{false};
  std::thread worker([&] {
    if (!waitOnWorker([&] { return dialog.window() != nullptr; })) return;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (dialog.window() != nullptr && std::chrono::steady_clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (dialog.window() == nullptr) return;
    stuck = true;
    mainThread().post([&] { dialog.end(-2); }, false);
  });
  const bool ended = loop_.runUntil([&] { return result != 0; }, kPatienceSeconds);
  worker.join();
  ASSERT_TRUE(ended);
  EXPECT_FALSE(stuck) << "the calls queued behind the dialog's call did not run inside it";
  EXPECT_EQ(result, 3);
  EXPECT_EQ(ran, (std::vector<std::string>{"first, in dialog", "second, in dialog"}));
}

// Calls run while a popup menu is tracked, and a posted call closes the menu.
TEST_F(Win32MainThreadTest, CallsRunWhileAMenuIsTracked) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 1, L"item");
  std::atomic<bool> tracking{false}, workerDone{false};
  bool ranWhileTracking = false;
  std::thread worker([&] {
    waitOnWorker([&] { return tracking.load(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the menu's loop start
    mainThread().post([&] { ranWhileTracking = tracking.load(); }, true);
    mainThread().post([] { EndMenu(); }, false);
    workerDone = true;
  });
  SetForegroundWindow(owner);
  tracking = true;
  TrackPopupMenu(menu, TPM_RETURNCMD, 10, 10, 0, owner, nullptr);
  tracking = false;
  loop_.runUntil([&] { return workerDone.load(); }, kPatienceSeconds);  // should the menu fail
  worker.join();
  DestroyMenu(menu);
  DestroyWindow(owner);
  EXPECT_TRUE(ranWhileTracking);
}

// A top-level window that says whether its move or size loop runs.
std::atomic<bool> g_inSizeMove{false};

LRESULT CALLBACK sizeMoveProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERSIZEMOVE) g_inSizeMove = true;
  if (message == WM_EXITSIZEMOVE) g_inSizeMove = false;
  return DefWindowProcW(window, message, wParam, lParam);
}

// Calls run while a window is moved from the keyboard (the window menu's Move) and while it is
// sized from its corner; a posted call ends each loop as the Escape key does.
TEST_F(Win32MainThreadTest, CallsRunWhileAWindowIsMovedOrSized) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = sizeMoveProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"xr.test.SizeMove";
  RegisterClassExW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                10, 10, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  for (const WPARAM command : {WPARAM{SC_MOVE}, WPARAM{SC_SIZE | WMSZ_BOTTOMRIGHT}}) {
    std::atomic<bool> workerDone{false};
    bool ranInLoop = false;
    std::thread worker([&] {
      if (waitOnWorker([] { return g_inSizeMove.load(); })) {
        mainThread().post([&] { ranInLoop = g_inSizeMove.load(); }, true);
        mainThread().post([&] { PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0); }, false);
      }
      workerDone = true;
    });
    SetForegroundWindow(window);
    SendMessageW(window, WM_SYSCOMMAND, command, 0);
    loop_.runUntil([&] { return workerDone.load(); }, kPatienceSeconds);  // should it fail
    worker.join();
    EXPECT_TRUE(ranInLoop) << (command == SC_MOVE ? "move" : "size");
    EXPECT_FALSE(g_inSizeMove.load());
  }
  DestroyWindow(window);
}

// The application quits its loop (PostQuitMessage from a posted call) while a worker keeps
// posting, some posts waiting, and then uninstalls the adapter: the calls that ran did so in
// posting order, those still queued and those posted later are dropped and let go, the waiting
// worker is released, and the drop is logged once.
TEST(Win32MainThreadShutdownTest, QuitWithCallsPendingThenUninstallDropsThemAndReleasesWaiters) {
  ASSERT_TRUE(installWin32MainThread());
  const auto uiThread = std::this_thread::get_id();
  std::vector<int> ran;  // on the UI thread only
  std::atomic<int> offLoop{0}, posted{0}, released{0};
  std::atomic<bool> uninstalled{false};
  testing::LogLineCounter dropLines(
      "Win32MainThread: the adapter is detached; posted calls are dropped");
  std::thread worker([&] {
    int afterUninstall = 0;
    for (int i = 0; afterUninstall < 50 && i < 1000000; ++i) {
      testing::postNumberedCall(i, i % 5 == 0, ran, offLoop, released, uiThread);
      ++posted;
      if (uninstalled) ++afterUninstall;
    }
  });
  bool quitPosted = false;
  int exitCode = -1;
  MSG message;
  for (;;) {
    if (!quitPosted && posted.load() >= 200) {
      mainThread().post([] { PostQuitMessage(5); }, false);
      quitPosted = true;
    }
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
      exitCode = static_cast<int>(message.wParam);
      break;
    }
    DispatchMessageW(&message);
  }
  uninstallWin32MainThread();  // with calls still queued, and the worker still posting
  uninstalled = true;
  worker.join();

  EXPECT_EQ(exitCode, 5);
  EXPECT_EQ(released.load(), posted.load()) << "a call was lost or let go twice";
  EXPECT_EQ(offLoop.load(), 0);
  ASSERT_GE(ran.size(), 1u);
  EXPECT_LT(ran.size(), static_cast<std::size_t>(posted.load()));
  for (std::size_t i = 0; i < ran.size(); ++i) ASSERT_EQ(ran[i], static_cast<int>(i));
  EXPECT_EQ(dropLines.count(), 1);
}

// Once the adapter is detached, queued and later calls are let go unrun, a waiting worker is
// released, nothing more runs in the loop, and the UI thread itself still runs a waiting call
// at once.
TEST(Win32MainThreadShutdownTest, DetachDropsQueuedAndLaterCallsAndReleasesWaiters) {
  std::shared_ptr<Win32MainThread> adapter = Win32MainThread::create();
  ASSERT_NE(adapter, nullptr);
  testing::expectDetachDropsQueuedAndLaterCalls(*adapter, [] {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  });
}

// The application quits while a task runs, observed on the UI thread every call and coalesced:
// once the adapter is uninstalled and the task's work ends, the task leaves the registry, and
// nothing of ours keeps the observers or the task alive.
TEST(Win32MainThreadShutdownTest, TaskOutlivingTheLoopLeavesTheRegistryAndItsObservers) {
  testing::expectTaskOutlivingTheLoopLetsGo([](auto observe) {
    ASSERT_TRUE(installWin32MainThread());
    Win32Loop loop;
    observe(loop);
    uninstallWin32MainThread();
  });
}

// Calls that reached the library's own loop before the install are handed over and run first,
// on the UI thread.
TEST(Win32MainThreadInstallTest, CallsPostedToTheLibraryLoopBeforeTheInstallRunFirst) {
  testing::expectCallsPostedBeforeTheInstallRunFirst([](auto run) {
    ASSERT_TRUE(installWin32MainThread());
    Win32Loop loop;
    run(loop);
    uninstallWin32MainThread();
  });
}

// An adapter made on a worker belongs to the worker: its calls run in the worker's loop, and
// the thread that did not make it is not its main thread.
TEST(Win32MainThreadInstallTest, AnAdapterBelongsToTheThreadThatMadeIt) {
  std::promise<std::shared_ptr<Win32MainThread>> made;
  std::atomic<bool> stop{false};
  std::thread uiThread([&] {
    made.set_value(Win32MainThread::create());
    Win32Loop loop;
    loop.runUntil([&] { return stop.load(); }, kPatienceSeconds);
  });
  std::shared_ptr<Win32MainThread> adapter = made.get_future().get();
  ASSERT_NE(adapter, nullptr);
  EXPECT_FALSE(adapter->isMainThread());
  std::thread::id ranOn;
  adapter->post([&] { ranOn = std::this_thread::get_id(); }, true);
  EXPECT_EQ(ranOn, uiThread.get_id());
  adapter->post([&] { stop = true; }, false);
  uiThread.join();
  adapter->detach();
}

}  // namespace
}  // namespace xr
