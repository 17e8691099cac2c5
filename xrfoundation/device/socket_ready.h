// device/socket_ready.h: wait, with a time-out, until a socket connected to the device can be
// read from or written to without blocking. The names are spelt as the application has always
// called them. Stateless; callable from any thread, and two threads may wait on one socket.
#pragma once
#include <cstdint>

#include "xrfoundation/export.h"

namespace xr {

// A connected socket as the system names it: a descriptor on POSIX systems, a SOCKET handle
// (any value, INVALID_SOCKET for none) on Windows.
#if defined(_WIN32)
using NativeSocket = std::uintptr_t;
#else
using NativeSocket = int32_t;
#endif

// True when fd is ready for reading within timeoutMs milliseconds: data waiting, the peer
// closed the connection (a read returns at once), a connection waiting on a listening socket,
// or an error pending on it. False for no socket (fd < 0, at once), on time-out, and when the
// wait fails (a signal, a descriptor that is not open, a negative time-out); a failed wait
// leaves one line on the console log. The wait is made once: a signal ends it. A time-out of
// 0 polls and returns at once. Any descriptor number works, 1024 and above included. On
// Windows "no socket" is INVALID_SOCKET, and the first call starts Winsock (once).
XR_EXPORT bool is_sockect_ready_to_recv(NativeSocket fd, int32_t timeoutMs);

// True when a send on fd won't block within timeoutMs milliseconds (or an error is pending
// on it). Otherwise as is_sockect_ready_to_recv, without the log line.
XR_EXPORT bool is_sockect_ready_to_send(NativeSocket fd, int32_t timeoutMs);

}  // namespace xr
