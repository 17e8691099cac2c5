// fuzz/fuzz_check.h: what every fuzz target shares -- a check that stops the run with the
// failed condition on stderr (libFuzzer then saves the input that broke it), and quiet logs,
// since a reader that warns about every odd line would spend the run formatting warnings.
#pragma once
#include <cstdio>
#include <cstdlib>

#include "xrfoundation/platform/log.h"

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace xr::fuzz {

inline void silenceLogs() {
  consoleLog().setLevel(LogLevel::Off);
  xrLog().setLevel(LogLevel::Off);
}

}  // namespace xr::fuzz
