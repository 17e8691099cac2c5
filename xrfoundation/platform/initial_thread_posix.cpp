// platform/initial_thread_posix.cpp: on Linux the initial thread is the one whose thread id
// equals the process id.
#include <sys/types.h>
#include <unistd.h>

#include "xrfoundation/platform/initial_thread_internal.h"

namespace xr {

bool onInitialThread() {
  thread_local const bool initial = gettid() == getpid();
  return initial;
}

}  // namespace xr
