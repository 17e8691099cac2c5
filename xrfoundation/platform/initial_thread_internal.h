// platform/initial_thread_internal.h: whether the calling thread is the process's initial one
// (the thread that ran main()), which MainLoop takes as the main thread. Any thread.
#pragma once

namespace xr {

bool onInitialThread();

}  // namespace xr
