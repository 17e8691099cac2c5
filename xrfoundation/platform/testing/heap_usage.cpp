#include "xrfoundation/platform/testing/heap_usage.h"

#if defined(__GLIBC__)
#include <malloc.h>  // mallinfo2(), glibc's own; other C libraries count their heap otherwise
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define XR_UNDER_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define XR_UNDER_SANITIZER 1
#endif

namespace xr::testing {

std::optional<std::size_t> heapBytesInUse() {
#if defined(XR_UNDER_SANITIZER) || !defined(__GLIBC__)
  return std::nullopt;
#else
  // Blocks above the mmap threshold (128 KiB by default) are counted apart from the rest.
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

}  // namespace xr::testing
