#include "xrfoundation/device/socket_ready.h"

#include <poll.h>

#include "xrfoundation/platform/log_internal.h"

namespace xr {
namespace {

// select() would watch only descriptors below FD_SETSIZE (1024), and putting a larger one in
// its set writes past the set's end; a busy process easily has such descriptors. poll() has
// no such limit, so it serves for every descriptor. These are the events that Linux's select()
// counts as "readable" and "writable", so the answers are the ones select() would give.
constexpr short kReadable = POLLIN | POLLRDNORM | POLLRDBAND | POLLHUP | POLLERR;
constexpr short kWritable = POLLOUT | POLLWRNORM | POLLWRBAND | POLLERR;

enum class Wait { Ready, NotReady, Failed };

Wait waitFor(int32_t fd, short events, short accepted, int32_t timeoutMs) {
  // poll() would wait without end on a negative time-out, where select() refuses it; keep
  // select()'s answer: the wait fails.
  if (timeoutMs < 0) return Wait::Failed;
  pollfd watched{fd, events, 0};
  int count = ::poll(&watched, 1, timeoutMs);  // once: an interrupted wait is not repeated
  if (count < 0) return Wait::Failed;
  if (count == 0) return Wait::NotReady;
  // A descriptor that is not open is an error for select() (EBADF).
  if (watched.revents & POLLNVAL) return Wait::Failed;
  return (watched.revents & accepted) ? Wait::Ready : Wait::NotReady;
}

}  // namespace

bool is_sockect_ready_to_recv(NativeSocket fd, int32_t timeoutMs) {
  // -1 is "no socket"; other negative numbers are no socket either, and are not waited on.
  if (fd < 0) return false;
  Wait wait = waitFor(fd, POLLIN, kReadable, timeoutMs);
  if (wait == Wait::Failed) {
    consoleLog().warn("signal for return select fucntion immediately :*************************");
  }
  return wait == Wait::Ready;
}

bool is_sockect_ready_to_send(NativeSocket fd, int32_t timeoutMs) {
  if (fd < 0) return false;
  return waitFor(fd, POLLOUT, kWritable, timeoutMs) == Wait::Ready;
}

}  // namespace xr
