// records/xr_foundation.h: XRFoundation, the library's marker class. It has no fields and no
// behaviour; the application uses the type to name the library (in its logs, say) or to
// check that it is linked.
#pragma once

#include "xrfoundation/export.h"

namespace xr {

// The library's marker type: stateless, default-constructible, copyable.
class XR_EXPORT XRFoundation {
 public:
  // Makes a marker; there is nothing to set up.
  XRFoundation() = default;
};

}  // namespace xr
