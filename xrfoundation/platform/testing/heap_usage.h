// platform/testing/heap_usage.h: how much heap the process uses, for tests that look for
// memory kept after its owners let go.
#pragma once
#include <cstddef>
#include <optional>

namespace xr::testing {

// Bytes that the C allocator has handed out and not taken back, large (mapped) blocks included;
// nullopt where that cannot be measured, as under a sanitizer, whose own allocator the count
// does not see.
std::optional<std::size_t> heapBytesInUse();

}  // namespace xr::testing
