// platform/byte_search.cpp: a byte search that does not depend on the C library's, and the
// search for a line end.
#include "xrfoundation/platform/byte_search_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xr {

const char* findByteBlockwise(const char* first, std::size_t length, char byte) noexcept {
  const char* p = first;
  const char* const end = first + length;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(byte);
  for (; end - p >= 16; p += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted));
    if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
#endif
  for (; p != end; ++p) {
    if (*p == byte) return p;
  }
  return nullptr;
}

const char* findLineEnd(const char* first, std::size_t length) noexcept {
  const char* p = first;
  const char* const end = first + length;
#if defined(__SSE2__)
  const __m128i carriageReturn = _mm_set1_epi8('\r');
  const __m128i lineFeed = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(block, carriageReturn), _mm_cmpeq_epi8(block, lineFeed)));
    if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
#endif
  for (; p != end; ++p) {
    if (*p == '\r' || *p == '\n') return p;
  }
  return nullptr;
}

}  // namespace xr
