// platform/initial_thread_win32.cpp: Windows keeps no mark of a process's first thread, so the
// library notes the thread that initialises it: the loader runs a program's static
// initialisers, and those of the DLLs it links, on the initial thread before main(). (A DLL
// loaded later with LoadLibrary from another thread would note that thread instead.)
#include <windows.h>

#include "xrfoundation/platform/initial_thread_internal.h"

namespace xr {
namespace {

const DWORD g_initialThreadId = ::GetCurrentThreadId();

}  // namespace

bool onInitialThread() { return ::GetCurrentThreadId() == g_initialThreadId; }

}  // namespace xr
