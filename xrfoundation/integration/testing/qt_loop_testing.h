// integration/testing/qt_loop_testing.h: the Qt side of the loop tests (loop_testing.h): runs
// QCoreApplication::exec() until a condition holds.
#pragma once
#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <functional>

namespace xr::testing {

// Runs QCoreApplication::exec() until done() holds (checked every millisecond) or time runs out.
struct QtLoop {
  bool runUntil(const std::function<bool()>& done, double seconds) {
    if (done()) return true;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (done()) QCoreApplication::quit();
    });
    poll.start(1);
    QTimer::singleShot(std::chrono::milliseconds(static_cast<long>(seconds * 1000)), &poll,
                       [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    return done();
  }
};

}  // namespace xr::testing
