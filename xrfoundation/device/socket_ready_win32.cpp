// device/socket_ready_win32.cpp: socket readiness on Windows, over WSAPoll (Winsock's poll(),
// which like select() there has no descriptor-number limit but takes any SOCKET handle).
#include <winsock2.h>

#include "xrfoundation/device/socket_ready.h"
#include "xrfoundation/platform/log_internal.h"

namespace xr {
namespace {

// WSAPoll refuses flags beyond these in events; it reports hang-up and errors by itself.
constexpr SHORT kReadable = POLLRDNORM | POLLRDBAND | POLLHUP | POLLERR;
constexpr SHORT kWritable = POLLWRNORM | POLLERR;

enum class Wait { Ready, NotReady, Failed };

// Winsock serves a process after WSAStartup; the first wait calls it, and it stays started
// (the application's own sockets need it too).
bool winsockStarted() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

Wait waitFor(NativeSocket socket, SHORT events, SHORT accepted, int32_t timeoutMs) {
  if (timeoutMs < 0 || !winsockStarted()) return Wait::Failed;  // as on POSIX: no endless wait
  WSAPOLLFD watched{static_cast<SOCKET>(socket), events, 0};
  const int count = ::WSAPoll(&watched, 1, timeoutMs);
  if (count == SOCKET_ERROR) return Wait::Failed;
  if (count == 0) return Wait::NotReady;
  if (watched.revents & POLLNVAL) return Wait::Failed;  // not a socket
  return (watched.revents & accepted) ? Wait::Ready : Wait::NotReady;
}

}  // namespace

bool is_sockect_ready_to_recv(NativeSocket fd, int32_t timeoutMs) {
  if (fd == INVALID_SOCKET) return false;
  const Wait wait = waitFor(fd, POLLRDNORM, kReadable, timeoutMs);
  if (wait == Wait::Failed) {
    consoleLog().warn("signal for return select fucntion immediately :*************************");
  }
  return wait == Wait::Ready;
}

bool is_sockect_ready_to_send(NativeSocket fd, int32_t timeoutMs) {
  if (fd == INVALID_SOCKET) return false;
  return waitFor(fd, POLLWRNORM, kWritable, timeoutMs) == Wait::Ready;
}

}  // namespace xr
