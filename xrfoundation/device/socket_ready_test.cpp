#include "xrfoundation/device/socket_ready.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::LogCapture;

constexpr const char* kWaitFailed =
    "signal for return select fucntion immediately :*************************";
const auto kRecv = is_sockect_ready_to_recv;
const auto kSend = is_sockect_ready_to_send;

// A connected pair of stream sockets, closed on destruction.
struct SocketPair {
  int fds[2] = {-1, -1};
  bool owned = true;  // false once closeBoth() closed them, the numbers kept
  SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
  ~SocketPair() {
    if (owned) ::close(fds[0]), ::close(fds[1]);  // -1 is refused harmlessly
  }
  int reader() const { return fds[0]; }
  int writer() const { return fds[1]; }
  void idle() {}
  void sendByte() { EXPECT_EQ(::write(writer(), "x", 1), 1); }
  void fillBuffer() {
    ASSERT_EQ(::fcntl(writer(), F_SETFL, O_NONBLOCK), 0);
    char block[4096] = {};
    while (::write(writer(), block, sizeof block) > 0) {
    }
  }
  void closeWriter() { ::close(std::exchange(fds[1], -1)); }
  void noSocket() { ::close(std::exchange(fds[0], -1)), ::close(std::exchange(fds[1], -1)); }
  void closeBoth() { ::close(fds[0]), ::close(fds[1]), owned = false; }
  void moveAbove(int low) {  // the same sockets under numbers from low up
    for (int& fd : fds) ::close(std::exchange(fd, ::fcntl(fd, F_DUPFD, low)));
  }
};

TEST(SocketReadyTest, AnswersOverARealSocketPair) {
  // Descriptors of 1024 and above do not fit select()'s set: every row runs on such ones too.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  rlimit raised{std::max(limit.rlim_cur, std::min<rlim_t>(4096, limit.rlim_max)), limit.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &raised), 0);
  // Label, set-up, check, time-out in ms, whether ready, whether the failure is logged.
  const std::tuple<const char*, void (SocketPair::*)(), bool (*)(int32_t, int32_t), int, bool, bool>
      rows[] = {
          {"data waiting", &SocketPair::sendByte, kRecv, 0, true, false},
          {"no data", &SocketPair::idle, kRecv, 200, false, false},
          {"peer closed", &SocketPair::closeWriter, kRecv, 1500, true, false},
          {"room to send", &SocketPair::idle, kSend, 0, true, false},
          {"buffer full", &SocketPair::fillBuffer, kSend, 200, false, false},
          // Failures answer at once; only the receive check logs them.
          {"no socket (-1)", &SocketPair::noSocket, kRecv, 1500, false, false},
          {"no socket (-1)", &SocketPair::noSocket, kSend, 1500, false, false},
          {"descriptor not open", &SocketPair::closeBoth, kRecv, 1500, false, true},
          {"negative time-out", &SocketPair::sendByte, kRecv, -1, false, true},
          {"negative time-out", &SocketPair::idle, kSend, -1, false, false},
      };
  for (int above : {0, 2000}) {
    if (above > 0 && raised.rlim_cur <= 2100) GTEST_SKIP() << "hard descriptor limit too low";
    for (const auto& [label, setup, check, timeoutMs, ready, logged] : rows) {
      SocketPair pair;
      pair.moveAbove(above);
      ASSERT_GE(std::min(pair.reader(), pair.writer()), above);
      (pair.*setup)();
      SCOPED_TRACE(std::string(label) + ", descriptors from " + std::to_string(above));
      LogCapture log;
      auto start = Clock::now();
      EXPECT_EQ(check(check == kRecv ? pair.reader() : pair.writer(), timeoutMs), ready);
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      // Every answer comes within a second; a "no" with a shorter time-out waits it out first.
      bool waits = !ready && timeoutMs > 0 && timeoutMs < 1000;
      EXPECT_TRUE(ms < 1000 && ms >= (waits ? timeoutMs * 9 / 10 : 0)) << ms << " ms";
      EXPECT_EQ(log.texts(), std::vector<std::string>(logged ? 1 : 0, kWaitFailed));
    }
  }
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

TEST(SocketReadyTest, DataArrivingEndsTheWait) {
  SocketPair pair;
  auto waiting = std::async(std::launch::async, [&] { return kRecv(pair.reader(), 5000); });
  pair.sendByte();
  ASSERT_EQ(waiting.wait_for(2s), std::future_status::ready);
  EXPECT_TRUE(waiting.get());
}

TEST(SocketReadyTest, ASignalEndsTheWaitOnce) {
  // A handler without SA_RESTART makes the signal interrupt the wait.
  struct sigaction action = {}, previous = {};
  action.sa_handler = [](int) {};
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
  SocketPair pair;
  LogCapture log;
  std::atomic<int> ready = -1;
  std::thread waiter([&] { ready = kRecv(pair.reader(), 10000); });
  // Signal until the waiter returns (the first signal may come before it waits), for at most
  // two seconds: a wait that is wrongly restarted then runs out its time-out and fails below.
  for (int i = 0; ready < 0 && i < 40; ++i) {
    ::pthread_kill(waiter.native_handle(), SIGUSR1);
    std::this_thread::sleep_for(50ms);
  }
  waiter.join();
  EXPECT_EQ(ready, 0);
  EXPECT_EQ(log.count(kWaitFailed), 1u);
  ::sigaction(SIGUSR1, &previous, nullptr);
}

}  // namespace
}  // namespace xr
