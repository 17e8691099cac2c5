#include "xrfoundation/version.h"

namespace xr {

// Compiled into the library, so a program sees the version it runs with, whatever header it
// was built against.
std::string versionString() { return XRF_VERSION_STRING; }

}  // namespace xr
