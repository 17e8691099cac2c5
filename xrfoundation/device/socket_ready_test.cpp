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
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::LogCapture;

constexpr const char* kWaitFailed =
    "signal for return select fucntion immediately :*************************";

// A connected pair of stream sockets, closed on destruction.
struct SocketPair {
  int fds[2] = {-1, -1};
  SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
  ~SocketPair() {
    for (int fd : fds) {
      if (fd >= 0) ::close(fd);
    }
  }
  int reader() const { return fds[0]; }
  int writer() const { return fds[1]; }
  void send(const char* text) const {
    ASSERT_EQ(::write(writer(), text, std::strlen(text)), ssize_t(std::strlen(text)));
  }
  void closeWriter() {
    ::close(fds[1]);
    fds[1] = -1;
  }
};

template <class F>
Clock::duration timed(F&& f) {
  auto start = Clock::now();
  f();
  return Clock::now() - start;
}

TEST(SocketReadyTest, DataWaitingIsReadyAtOnce) {
  SocketPair pair;
  pair.send("x");
  EXPECT_TRUE(is_sockect_ready_to_recv(pair.reader(), 0));
  EXPECT_TRUE(is_sockect_ready_to_recv(pair.reader(), 1500));
}

TEST(SocketReadyTest, NoDataWaitsForTheTimeOutThenGivesFalse) {
  SocketPair pair;
  bool ready = true;
  auto elapsed = timed([&] { ready = is_sockect_ready_to_recv(pair.reader(), 200); });
  EXPECT_FALSE(ready);
  EXPECT_GE(elapsed, 180ms);
  EXPECT_FALSE(is_sockect_ready_to_recv(pair.reader(), 0)) << "a zero time-out polls";
}

TEST(SocketReadyTest, DataArrivingDuringTheWaitEndsIt) {
  SocketPair pair;
  auto waiting =
      std::async(std::launch::async, [&] { return is_sockect_ready_to_recv(pair.reader(), 5000); });
  pair.send("late");
  EXPECT_TRUE(waiting.get());
}

TEST(SocketReadyTest, RoomInTheBufferIsReadyToSend) {
  SocketPair pair;
  EXPECT_TRUE(is_sockect_ready_to_send(pair.writer(), 0));
  EXPECT_TRUE(is_sockect_ready_to_send(pair.writer(), 1500));
}

TEST(SocketReadyTest, FullBufferIsNotReadyToSend) {
  SocketPair pair;
  ASSERT_EQ(::fcntl(pair.writer(), F_SETFL, O_NONBLOCK), 0);
  char block[4096] = {};
  while (::write(pair.writer(), block, sizeof block) > 0) {
  }
  bool ready = true;
  auto elapsed = timed([&] { ready = is_sockect_ready_to_send(pair.writer(), 200); });
  EXPECT_FALSE(ready);
  EXPECT_GE(elapsed, 180ms);
}

TEST(SocketReadyTest, ClosedPeerIsReadyToRead) {
  SocketPair pair;
  pair.closeWriter();
  EXPECT_TRUE(is_sockect_ready_to_recv(pair.reader(), 1500));
}

TEST(SocketReadyTest, NoSocketGivesFalseWithoutWaiting) {
  LogCapture log;
  for (int fd : {-1, -2}) {
    auto elapsed = timed([&] {
      EXPECT_FALSE(is_sockect_ready_to_recv(fd, 1500)) << fd;
      EXPECT_FALSE(is_sockect_ready_to_send(fd, 1500)) << fd;
    });
    EXPECT_LT(elapsed, 1000ms) << fd;
  }
  EXPECT_TRUE(log.texts().empty());
}

TEST(SocketReadyTest, FailedWaitGivesFalseAndOnlyTheReceiveCheckLogs) {
  SocketPair pair;
  pair.send("x");
  int closed = ::dup(pair.reader());
  ASSERT_GE(closed, 0);
  ::close(closed);
  struct Row {
    const char* label;
    int fd;
    int timeoutMs;
  };
  const Row rows[] = {
      {"descriptor not open", closed, 100},
      {"negative time-out", pair.reader(), -1},
  };
  for (const Row& row : rows) {
    LogCapture log;
    EXPECT_FALSE(is_sockect_ready_to_recv(row.fd, row.timeoutMs)) << row.label;
    EXPECT_EQ(log.texts(), std::vector<std::string>{kWaitFailed}) << row.label;
    log.clear();
    EXPECT_FALSE(is_sockect_ready_to_send(row.fd, row.timeoutMs)) << row.label;
    EXPECT_TRUE(log.texts().empty()) << row.label;
  }
}

TEST(SocketReadyTest, ASignalEndsTheWaitOnce) {
  // A handler without SA_RESTART makes the signal interrupt the wait.
  struct sigaction action = {};
  struct sigaction previous = {};
  action.sa_handler = [](int) {};
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
  SocketPair pair;
  std::promise<pthread_t> waiter;
  auto result = std::async(std::launch::async, [&] {
    waiter.set_value(::pthread_self());
    LogCapture log;
    bool ready = is_sockect_ready_to_recv(pair.reader(), 10000);
    return std::make_pair(ready, log.count(kWaitFailed));
  });
  pthread_t thread = waiter.get_future().get();
  // Signal until the waiter returns: the first signal may come before it starts waiting.
  while (result.wait_for(50ms) != std::future_status::ready) ::pthread_kill(thread, SIGUSR1);
  auto [ready, lines] = result.get();
  EXPECT_FALSE(ready);
  EXPECT_EQ(lines, 1u);
  ::sigaction(SIGUSR1, &previous, nullptr);
}

// Descriptors of 1024 and above do not fit select()'s set; they must still get true answers.
TEST(SocketReadyTest, HighDescriptorsWork) {
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  constexpr rlim_t kWanted = 4096;
  rlimit raised = limit;
  if (raised.rlim_cur < kWanted) {
    raised.rlim_cur = std::min<rlim_t>(kWanted, raised.rlim_max);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &raised), 0);
  }
  if (raised.rlim_cur <= 2100) GTEST_SKIP() << "hard descriptor limit too low";
  SocketPair pair;
  int high = ::fcntl(pair.reader(), F_DUPFD, 2000);
  ASSERT_GE(high, 2000);
  int highWriter = ::fcntl(pair.writer(), F_DUPFD, 2050);
  ASSERT_GE(highWriter, 2050);

  EXPECT_FALSE(is_sockect_ready_to_recv(high, 50)) << "no data yet";
  EXPECT_TRUE(is_sockect_ready_to_send(highWriter, 0));
  pair.send("x");
  EXPECT_TRUE(is_sockect_ready_to_recv(high, 0));

  ::close(high);
  ::close(highWriter);
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

TEST(SocketReadyTest, TwoThreadsMayWaitOnOneSocket) {
  SocketPair pair;
  auto first =
      std::async(std::launch::async, [&] { return is_sockect_ready_to_recv(pair.reader(), 5000); });
  auto second =
      std::async(std::launch::async, [&] { return is_sockect_ready_to_recv(pair.reader(), 5000); });
  pair.send("both see it");
  EXPECT_TRUE(first.get());
  EXPECT_TRUE(second.get());
}

}  // namespace
}  // namespace xr
