// integration/testing/wx_loop_testing.h: the wxWidgets side of the loop tests (loop_testing.h):
// a console application object made and torn down as wxEntry() does, and a console event loop
// run until a condition holds. wxBase only: no display is needed.
#pragma once
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/timer.h>

#include <chrono>
#include <functional>
#include <memory>

namespace xr::testing {

// wxWidgets set up with a wxAppConsole as its application object, for the object's life; on
// the calling thread, which becomes wxWidgets' main thread.
class WxApplication {
 public:
  WxApplication() {
    wxAppConsole::SetInstance(new wxAppConsole);
    static char arg0[] = "wx_test";
    static char* argv[] = {arg0, nullptr};
    int argc = 1;
    started_ = wxEntryStart(argc, argv);
  }
  // Destroys the application object, as wxWidgets does at the end of wxEntry().
  ~WxApplication() {
    if (started_) wxEntryCleanup();
  }
  WxApplication(const WxApplication&) = delete;
  WxApplication& operator=(const WxApplication&) = delete;
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

// Runs a console event loop until done() holds (checked every millisecond) or time runs out.
// One loop serves every run, as in an application: a worker's post wakes the active loop
// through a plain pointer, which a loop made and destroyed per run could leave dangling. Reset
// it (or let it go) before the application object goes.
class WxLoop {
 public:
  bool runUntil(const std::function<bool()>& done, double seconds) {
    if (done()) return true;
    if (!loop_) loop_ = std::make_unique<wxConsoleEventLoop>();
    wxConsoleEventLoop& loop = *loop_;
    struct Poll : wxTimer {
      Poll(const std::function<bool()>& done, wxEventLoopBase& loop, double seconds)
          : done(done),
            loop(loop),
            deadline(std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<long>(seconds * 1000))) {}
      void Notify() override {
        if (done() || std::chrono::steady_clock::now() >= deadline) loop.Exit();
      }
      const std::function<bool()>& done;
      wxEventLoopBase& loop;
      const std::chrono::steady_clock::time_point deadline;
    } poll(done, loop, seconds);
    poll.Start(1);
    loop.Run();
    poll.Stop();
    return done();
  }
  void reset() { loop_.reset(); }

 private:
  std::unique_ptr<wxConsoleEventLoop> loop_;
};

}  // namespace xr::testing
