// Socket readiness on Windows: a loopback TCP pair through Winsock, as the application's
// connection to the phone is (Windows has no socketpair()).
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <utility>

#include "xrfoundation/device/socket_ready.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kWaitFailed =
    "signal for return select fucntion immediately :*************************";

// A connected pair of loopback TCP sockets, closed on destruction. Winsock is started here
// only for the test's own socket calls; the library starts it by itself.
struct LoopbackPair {
  SOCKET reader = INVALID_SOCKET;
  SOCKET writer = INVALID_SOCKET;
  LoopbackPair() {
    WSADATA data;
    EXPECT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    EXPECT_EQ(::listen(listener, 1), 0);
    writer = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_EQ(::connect(writer, reinterpret_cast<sockaddr*>(&address), length), 0);
    reader = ::accept(listener, nullptr, nullptr);
    EXPECT_NE(reader, INVALID_SOCKET);
    ::closesocket(listener);
  }
  ~LoopbackPair() {
    if (reader != INVALID_SOCKET) ::closesocket(reader);
    if (writer != INVALID_SOCKET) ::closesocket(writer);
    ::WSACleanup();
  }
};

TEST(SocketReadyWin32Test, AnswersOverALoopbackPair) {
  LoopbackPair pair;
  EXPECT_FALSE(is_sockect_ready_to_recv(pair.reader, 0)) << "nothing sent yet";
  EXPECT_TRUE(is_sockect_ready_to_send(pair.writer, 0));
  const auto start = Clock::now();
  EXPECT_FALSE(is_sockect_ready_to_recv(pair.reader, 200));
  EXPECT_GE(Clock::now() - start, 150ms) << "the time-out is waited out";
  ASSERT_EQ(::send(pair.writer, "x", 1, 0), 1);
  EXPECT_TRUE(is_sockect_ready_to_recv(pair.reader, 1000)) << "a byte waits";
  ::closesocket(std::exchange(pair.writer, INVALID_SOCKET));
  char byte;
  ASSERT_EQ(::recv(pair.reader, &byte, 1, 0), 1);
  EXPECT_TRUE(is_sockect_ready_to_recv(pair.reader, 1000)) << "the peer closed: a read returns";
}

TEST(SocketReadyWin32Test, RefusesNoSocketAndBadWaits) {
  LoopbackPair pair;
  testing::LogCapture capture;
  EXPECT_FALSE(is_sockect_ready_to_recv(INVALID_SOCKET, 0));
  EXPECT_FALSE(is_sockect_ready_to_send(INVALID_SOCKET, 0));
  EXPECT_EQ(capture.count(kWaitFailed), 0u) << "no socket is no failed wait";
  EXPECT_FALSE(is_sockect_ready_to_recv(pair.writer, -1)) << "a negative time-out fails";
  const SOCKET closed = std::exchange(pair.reader, INVALID_SOCKET);
  ::closesocket(closed);
  EXPECT_FALSE(is_sockect_ready_to_recv(closed, 0)) << "a closed handle";
  EXPECT_EQ(capture.count(kWaitFailed), 2u);
}

}  // namespace
}  // namespace xr
