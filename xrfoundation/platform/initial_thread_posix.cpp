// platform/initial_thread_posix.cpp: the initial thread on POSIX systems.
#include <sys/types.h>
#include <unistd.h>

#include "xrfoundation/platform/initial_thread_internal.h"

namespace xr {

bool onInitialThread() {
#if defined(__linux__)
  // The initial thread of a Linux process is the one whose thread id equals the process id.
  thread_local const bool initial = gettid() == getpid();
  return initial;
#else
  // POSIX has no call for this; each system answers its own way (pthread_main_np() on macOS
  // and the BSDs).
#error "onInitialThread() has no implementation for this system"
#endif
}

}  // namespace xr
