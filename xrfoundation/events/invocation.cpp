#include "xrfoundation/events/invocation.h"

namespace xr {

// Defined here so that the vtable of every prepared call has one home.
Invocation::~Invocation() = default;

}  // namespace xr
