// fuzz/quiet_logs.cpp: linked into every fuzz target. The library's logs are off, since a
// reader that warns about every odd line would spend the run formatting warnings.
#include "xrfoundation/platform/log.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  xr::setLogLevel(xr::LogLevel::Off);
  return 0;
}
